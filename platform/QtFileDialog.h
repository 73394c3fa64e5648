#pragma once
// The Qt backend of the file-dialog seam: Open and Save As on the UI thread, whichever thread asks.
#include <QString>
#include <string>

void InstallQtFileDialog();

// "Name|pattern|Name|pattern||" as a Qt name filter list ("Name (pattern);;...").
QString ToQtNameFilters(const std::string& filter);
