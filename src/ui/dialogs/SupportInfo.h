// Who made the program and how to reach them: the one place for these texts.
#pragma once

namespace tessaly::ui::support {

inline constexpr const char* kAuthor = "Tessaly developers";
inline constexpr const char* kHomePage = TESSALY_HOMEPAGE_URL;  // set by the build
inline constexpr const char* kMailAddress = "support@tessaly.example.org";
inline constexpr const char* kMailLink = "mailto:support@tessaly.example.org";

inline constexpr const char* kSupportLines = "You can support Author financially\nBank Numbers:";
inline constexpr const char* kPurseHeading = "Payment purses:";
// Bank accounts with their currency, then the four payment purses; none has been set up yet.
inline constexpr const char* kNotSet = "not set";
inline constexpr const char* kBankAccounts[2] = {kNotSet, kNotSet};
inline constexpr const char* kPurses[4] = {kNotSet, kNotSet, kNotSet, kNotSet};

}  // namespace tessaly::ui::support
