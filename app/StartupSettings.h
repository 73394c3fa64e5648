#pragma once
// The settings work of start-up, in one call: open the settings key or create it with the
// first-run values, bring an older key up to this release's version, read the start-hidden flag
// and close the key again. The caller shows the splash screen (or not) afterwards; closing the
// key before the splash rather than after it changes nothing, as an open key holds nothing.
#include <functional>
#include <vector>

#include "res/Version.h"

enum class StartupNotice { FirstTimeUsage, UpgradeComplete };

struct StartupSettings {
  std::vector<StartupNotice> notices;  // in the order they fell due
  bool startHidden = false;            // "STARTMINIMIZED"
};

// The settings version of this release: 75 for 7.5 in the first byte, 0 in the second.
constexpr unsigned char kSettingsVersion = kVersionMajor * 10 + kVersionMinor;

// Order of calls: OpenSettingsKey, or on failure CreateSettingsKey, the first-run writes and the
// "First Time Usage" notice; ReadVersion, and when it fails WriteVersion, ConvertLogFlag,
// ConvertStartMinimizedFlag and the "Upgrade Complete" notice, or when it finds a version below
// 75 WriteVersion and the same notice; ReadStartMinimized; CloseSettingsKey. The writes before a
// notice reach the file together, in one write, before it. showNotice, when given, is called at
// the moment each notice falls due, so the box appears between the same writes as it would inline. A key that
// can neither be opened nor created yields both notices.
StartupSettings ApplyStartupSettings(const std::function<void(StartupNotice)>& showNotice = nullptr);
