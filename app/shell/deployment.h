// Deployment settings of the program: the addresses a distributor changes,
// kept in this one place.
#ifndef QUILLON_APP_SHELL_DEPLOYMENT_H
#define QUILLON_APP_SHELL_DEPLOYMENT_H

namespace quillon::deployment {

inline constexpr const char *kProgramName = "Orvantis Quillon for USB";
inline constexpr const char *kVersion = "0.1.0";
inline constexpr const char *kHomePage = "https://www.orvantis.com/";
inline constexpr const char *kTelephone = "Tel. +1 (555) 010-2300";
inline constexpr const char *kSupportMail = "support@orvantis.com";
inline constexpr const char *kCopyright = "Copyright (C) Orvantis";

} // namespace quillon::deployment

#endif
