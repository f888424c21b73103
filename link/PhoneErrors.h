#pragma once
// The phone's "+CME ERROR" numbers and their texts, in the phone's numbering order.
// Numbers not in the table have no text. Pure data; any thread.

#include <iterator>
#include <string_view>

struct TPhoneError {
  int Number;
  std::string_view Text;
};

inline constexpr TPhoneError PhoneErrors[] = {
    {0, "Phone failure"},
    {1, "No connection to phone"},
    {2, "Phone-adaptor link reserved"},
    {3, "Operation not allowed"},
    {4, "Operation not supported."},
    {5, "PH-SIM PIN required"},
    {6, "PH-FSIM PIN required"},
    {7, "PH-FSIM PUK required"},
    {10, "SIM not inserted"},
    {11, "SIM PIN required"},
    {12, "SIM PUK required"},
    {13, "SIM failure"},
    {14, "SIM busy"},
    {15, "SIM wrong"},
    {16, "Incorrect password"},
    {17, "SIM PIN2 required"},
    {18, "SIM PUK2 required"},
    {20, "Memory full"},
    {21, "Invalid index"},
    {22, "Not found"},
    {23, "Memory failure"},
    {24, "Text string too long"},
    {25, "Invalid characters in text string"},
    {26, "Dial string too long"},
    {27, "Invalid characters in dial string"},
    {30, "No network service"},
    {31, "Network timeout"},
    {32, "Network not allowed - emergency calls only"},
    {40, "Network personalisation PIN required"},
    {41, "Network personalisation PUK required"},
    {42, "Network subset personalisation PIN required"},
    {43, "Network subset personalisation PUK required"},
    {44, "Service provider personalisation PIN required"},
    {45, "Service provider personalisation PUK required"},
    {46, "Corporate personalisation PIN required"},
    {47, "Corporate personalisation PUK required"},
    {100, "Unknown"},
    {103, "Illegal MS"},
    {106, "Illegal ME"},
    {107, "GPRS services not allowed"},
    {111, "PLMN not allowed"},
    {112, "Location area not allowed"},
    {113, "Roaming not allowed in this location area"},
    {256, "Not enough memory"},
    {257, "Error deleting entry"},
    {258, "Entry does not exist"},
    {259, "Error transmitting entry"},
    {260, "Access denied"},
    {261, "Phone busy"},
    {262, "Wrong amount of data transferred"},
    {263, "Entry type does not exist"},
    {264, "Data transfer stopped"},
    {265, "UPPB not ready.\r\n\r\nPlease wait while processing data"},
    {266, "Parse too complex"},
    {267, "Parse syntax error"},
    {268, "Parse RRULE"},
    {269, "Parse VEND"},
    {270, "Parse VERSION"},
    {271, "DP FFS create error"},
    {272, "DP FFS write error"},
    {273, "DP transfer timeout error"},
    {274, "DP transfer stop error"},
    {275, "DP FFS read error"},
    {276, "DP FFS fptr error"},
    {277, "DP FFS mail error"},
};
static_assert(std::size(PhoneErrors) == 65);

// The text for a number; empty when the table has none.
constexpr std::string_view PhoneErrorText(int number) {
  for (const TPhoneError& e : PhoneErrors)
    if (e.Number == number) return e.Text;
  return {};
}
