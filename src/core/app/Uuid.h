// Random identifiers for file names and multipart boundaries.
#pragma once

#include <string>

namespace veska {

/// A new random (version 4) UUID in its standard textual form, upper-case hexadecimal:
/// "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
[[nodiscard]] std::string newUUIDString();

}  // namespace veska
