#pragma once
// The vendor's web page and support mailbox, in one place.

namespace vendor {

inline constexpr const char* kWebSite = "https://www.dravellin.example/recorder/";
inline constexpr const char* kSupportMailbox = "support@dravellin.example";
inline constexpr const char* kMailSubject = "?subject=QX%20Recorder,%20version%201.0b";

}  // namespace vendor
