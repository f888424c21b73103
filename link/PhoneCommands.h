#pragma once
// What the program sends the phone, in one place. Every command ends in CR LF; the
// commands that take arguments are built by the helpers below.

#include <string>
#include <string_view>

// Entry types on the phone.
inline constexpr int etContacts = 0;
inline constexpr int etGroups = 1;
inline constexpr int etEvents = 2;
inline constexpr int etRingTones = 9;

inline constexpr std::string_view cmdIdentify = "AT+CGSN\r\n";
inline constexpr std::string_view cmdDataModeQuery = "AT+C#SMDE?\r\n";
inline constexpr std::string_view cmdDataModeOn = "AT+C#SMDE=1\r\n";
inline constexpr std::string_view cmdDataModeOff = "AT+C#SMDE=0\r\n";
inline constexpr std::string_view cmdList = "AT+C#SLST=";   // + type
inline constexpr std::string_view cmdGet = "AT+C#SGET=";    // + type "," identifier
inline constexpr std::string_view cmdPut = "AT+C#SPUT=";    // + type "," byte count
inline constexpr std::string_view CommandEnd = "\r\n";

// "AT+CGSN" answers hold this for a Siemens S40.
inline constexpr std::string_view S40Identity = "35007780";
// The answer to a store command that asks for the entry's data.
inline constexpr std::string_view InputPrompt = "\r\n>";
// What precedes a stored entry's new identifier.
inline constexpr std::string_view PutAnswer = "+C#SPUT: ";
// A group's group identifier is its new identifier minus this.
inline constexpr int GroupIdOffset = 419889152;

// How long the phone has to begin an answer (the answer timer's interval), in ms. A
// restore gives it three minutes, since storing an entry can take the phone that long.
inline constexpr int AnswerTimeoutMs = 5000;
inline constexpr int RestoreAnswerTimeoutMs = 180000;

// "AT+C#SLST=" type CR LF.
inline std::string ListCommand(int type) {
  return std::string(cmdList) + std::to_string(type) + std::string(CommandEnd);
}
// "AT+C#SGET=" type "," identifier CR LF.
inline std::string GetCommand(int type, int identifier) {
  return std::string(cmdGet) + std::to_string(type) + "," + std::to_string(identifier) + std::string(CommandEnd);
}
// "AT+C#SPUT=" type "," byte count CR LF.
inline std::string PutCommand(int type, long long byteCount) {
  return std::string(cmdPut) + std::to_string(type) + "," + std::to_string(byteCount) + std::string(CommandEnd);
}
