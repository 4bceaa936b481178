// Identifiers of the window's controls, menu items and timer: each
// control's object name carries its id, so tests can find it.
#pragma once

namespace tamarind::gui {

// The platform's dialog results.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Main dialog.
inline constexpr int kIdTabs = 1024;
inline constexpr int kIdButtonFrame = 1033;
inline constexpr int kIdHelp = 1019;
inline constexpr int kIdAbout = 57664;  // also "&About..." in the notification menu
inline constexpr int kIdOpen = 57601;
inline constexpr int kIdExit = 57665;

// Convert page.
inline constexpr int kIdConvertGroup = 1022;
inline constexpr int kIdFilterLabel = 1021;
inline constexpr int kIdFilter = 1008;
inline constexpr int kIdSource = 1004;
inline constexpr int kIdBrowseSource = 1001;
inline constexpr int kIdDestination = 1006;
inline constexpr int kIdBrowseDestination = 1003;
inline constexpr int kIdGo = 1000;
inline constexpr int kIdStop = 1040;
inline constexpr int kIdResults = 1043;
inline constexpr int kIdProgress = 1020;
inline constexpr int kIdStatus = 1041;
inline constexpr int kAutoConvertTimer = 7;

// Options page.
inline constexpr int kIdConvertDirectory = 1029;
inline constexpr int kIdIncludeSubdir = 1032;
inline constexpr int kIdConvertFiles = 1030;
inline constexpr int kIdKeepDate = 1046;
inline constexpr int kIdKeepHierarchy = 1039;
inline constexpr int kIdKeepExtension = 1055;
inline constexpr int kIdRecalculate = 1056;
inline constexpr int kIdQuality = 1053;
inline constexpr int kIdOptimize = 1054;
inline constexpr int kIdAutoGroup = 1057;
inline constexpr int kIdAutoConvert = 1051;
inline constexpr int kIdMinutes = 1052;
inline constexpr int kIdOutputGroup = 1061;
inline constexpr int kIdFormat = 1058;
inline constexpr int kIdRecognizeText = 1059;
inline constexpr int kIdOcrLanguages = 1060;
inline constexpr int kIdEmbedSource = 1062;

// About box.
inline constexpr int kIdHomeLink = 1010;
inline constexpr int kIdSupportLink = 1050;
inline constexpr int kIdCopyShortcuts = 32773;

}  // namespace tamarind::gui
