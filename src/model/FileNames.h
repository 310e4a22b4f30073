#pragma once

// The data files of the program's folder. Per-round files are a prefix, the
// round selector's text used verbatim, and ".dat" (see roundFileName()).
namespace FileNames {
inline constexpr const char* kMailSettings = "trv1.dat";   // the mail account
inline constexpr const char* kTransport = "trv1x.dat";     // ports, TLS, login, trusted certificates
inline constexpr const char* kAddressBook = "trv2.dat";
inline constexpr const char* kReplySettings = "trv2x.dat";  // whose replies count, full-width answers
inline constexpr const char* kRoundCounter = "trv3.dat";   // the round START plays next

inline constexpr const char* kRosterPrefix = "trv2s";      // who was invited and who joined
inline constexpr const char* kInvitationPrefix = "trv4";
inline constexpr const char* kQuestionPrefix = "trv5";
inline constexpr const char* kClosingMailPrefix = "trv6";
inline constexpr const char* kResultsPrefix = "trv7";

// The files that may hold a password: readable and writable by their owner
// only, whatever the folder allows.
inline constexpr const char* kPrivate[] = {kMailSettings, kTransport};
}  // namespace FileNames
