#pragma once
// The document of the single-document frame. Kestrel keeps nothing in it: it is never modified,
// so closing never asks to save, and reading or writing it does nothing.
class CKestrelDoc {};
