#pragma once
// "1 contact", "3 contacts": a count with the word that fits it, for reports and messages.

#include <string>

inline std::string CountText(long long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}
