#pragma once
// Dialog data exchange of a whole number: the text of an edit field read as a signed 32-bit
// decimal number. Blanks around the number are allowed; anything else (an empty field, a
// fraction, letters, a number out of range) is not a whole number.
#include <cstdint>
#include <string>

bool ScanWholeNumber(const std::string& text, int32_t& value);
