// The host's secrets: random ids (the relay's mark, its body tokens, session
// ids) and their comparison.
#pragma once

#include <string>

namespace tarnwick::host {

// 128 random bits as 32 hexadecimal digits.
std::string NewSecret();

// Compares a secret without telling by its timing how much of it matched.
bool SameSecret(const std::string& a, const std::string& b);

}  // namespace tarnwick::host
