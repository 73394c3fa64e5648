#pragma once
// The settings: one operation per value and direction over the settings key
// HKEY_LOCAL_MACHINE\SOFTWARE\Harrow\Kestrel of Kestrel.reg (platform/SettingsFile), which has to
// be open. Silent on every failure; reads yield defaults.
#include <cstdint>
#include <string>

bool OpenSettingsKey();
long CreateSettingsKey();
long CloseSettingsKey();
bool ReadVersion(unsigned char& first, unsigned char& second);
void WriteVersion(unsigned char first, unsigned char second);
bool ReadStartMinimized();
bool ReadGetAll();
bool ReadLog();
bool ReadUseBetween();
void WriteStartMinimized(bool);
void WriteGetAll(bool);
void WriteLog(bool);
void WriteUseBetween(bool);
bool ReadLimit(int32_t& value);
bool ReadOrder(int32_t& value);
void WriteLimit(int32_t value);
void WriteOrder(int32_t value);
std::string ReadStartDate();
std::string ReadEndDate();
std::string ReadLogFile();
void WriteStartDate(const std::string&);
void WriteEndDate(const std::string&);
void WriteLogFile(const std::string&);
void ConvertLogFlag();
void ConvertStartMinimizedFlag();
std::string GetDefaultLogin();
// Writes between these two calls, to the settings and to the history, are read back at once and
// reach the file together, in one write, before the second returns.
void HoldSettingsWrites();
void WriteHeldSettings();
// "Keep Local &Index": whether searches keep and use a copy of the table on this machine.
bool ReadLocalIndex();
void WriteLocalIndex(bool);
// The login the workers connect with, which is also its password: GetDefaultLogin() inside an
// open and close of the key. On the UI thread, where the settings store lives.
std::string ReadGuestLogin();
