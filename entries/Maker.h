#pragma once
// The maker's notice: the second line of every backup file ("// " + notice) and the
// window caption ("ZARVO - " + notice).
inline constexpr const char* MakersNotice = "S40 phone backup, (c) 2026 ZARVO developers";
