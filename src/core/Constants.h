// Fixed values of the program: identity, server, messages between processes,
// state images and internal completion codes.  The reference update server takes
// the query key and the server paths from here.
#pragma once

#include <string_view>

namespace ravo {

inline constexpr std::string_view kVersion = "v2.1.5";
inline constexpr std::string_view kWindowTitlePrefix = "Varnel Ravo ";
inline constexpr std::string_view kApplicationTitlePrefix = "Ravo ";
inline constexpr std::string_view kWindowClass = "TRavo";
inline constexpr std::string_view kServiceName = "VarnelRavoService";
inline constexpr std::string_view kUserAgentPrefix = "Ravo ";
inline constexpr std::string_view kServiceUserAgentPrefix = "Ravo Service ";
inline constexpr std::string_view kKeepAliveUserAgent = "Mozilla/3.0 (compatible)";
inline constexpr std::string_view kAccept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
inline constexpr std::string_view kRetirementMarkerPrefix = "Expired";

// Settings.
inline constexpr std::string_view kKeyPath = "Software\\Tranmoor\\Ravo";
inline constexpr std::string_view kInternetSettingsPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The update server: one host serves the address check, the host list and the
// update.  The string value "UpdateServer" of the settings key replaces it.
inline constexpr std::string_view kUpdateServerHost = "update.varnel.net";
inline constexpr std::string_view kUpdateServerValue = "UpdateServer";
inline constexpr std::string_view kUpdatePort = "8245";
inline constexpr std::string_view kAltPort = "80";
inline constexpr std::string_view kAddressCheckPath = "/ip.php";
inline constexpr std::string_view kHostListPath = "/list-hosts.php";
inline constexpr std::string_view kUpdatePath = "/ravoupdate.php";
inline constexpr std::string_view kServiceWebSite = "http://www.varnel.net/";
inline constexpr std::string_view kSupportEmail = "support@varnel.net";

// The key of the query protection; the update server reads "request=" with it.
// 17 upper-case letters, 17 lower-case letters, 10 digits, 3 punctuation marks.
inline constexpr std::string_view kQueryKey = "GJ9Cju6xi2fEHbw3D40tNnRXT_U17YPLclMp-.8FmekW5vy";

// Window messages to the desktop window.
inline constexpr unsigned kWmServiceState = 12187;
inline constexpr unsigned kWmRemoteQuit = 12189;
inline constexpr unsigned kWmSecondInstance = 12190;
inline constexpr unsigned kWmReleaseItemClient = 12191;

// Completion codes the program raises itself; the HTTP client never reports them.
inline constexpr int kScheduleRefused = 666;
inline constexpr int kNoConnectionAdapter = 667;

// State images shared by the host list rows, the console and the tray icon.
inline constexpr int kImageNone = -1;
inline constexpr int kImageWaiting = 0;
inline constexpr int kImageUnchecked = 1;
inline constexpr int kImageRetry = 2;
inline constexpr int kImageUpdated = 3;
inline constexpr int kImageCurrent = 4;
inline constexpr int kImageRedirect = 6;
inline constexpr int kImageInvalid = 7;
inline constexpr int kImageNoHosts = 8;
inline constexpr int kImageBanned = 10;
inline constexpr int kImageTooMany = 12;
inline constexpr int kImageBadLogin = 14;
inline constexpr int kImageScheduled = 18;

}  // namespace ravo
