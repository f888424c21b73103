#pragma once
// The fault matrix as a table: one row per fault and phase, what the row found, and the
// row files through which rows run in processes of their own reach the collected table.
// Plain C++; the test executable and the collecting step (FaultMatrixCollect.cpp) share it.

#include <optional>
#include <string>
#include <vector>

// What one row found, as the matrix prints it.
struct TMatrixRow {
  int Order = 0;
  std::string Fault;
  std::string Phase;    // "read" or "restore"
  std::string Message;  // what the user was shown; "-" for nothing
  double Seconds = -1;  // from the fault to the end of its exchange or of the operation
  double Limit = 0;     // the timer's interval plus one second
  // Each check: -1 not made, 0 failed, 1 passed (a row that checks more than once
  // passes only if every time it passed).
  int Controls = -1;
  int NextRead = -1;
  int NothingLost = -1;
  bool Passed = false;
  std::string Note;
};

// Notes the outcome of one check in a row's column.
inline void NoteCheck(int& column, bool ok) { column = (column != 0 && ok) ? 1 : 0; }

// The rows in table order, with a closing count.
std::string MatrixTable(std::vector<TMatrixRow> rows);

// One file per row in folder (made when missing); false when it could not be written.
bool WriteRowFile(const std::string& folder, const TMatrixRow& row);
// Every row file of the folder; names of unreadable files go to unreadable.
std::vector<TMatrixRow> ReadRowFiles(const std::string& folder, std::vector<std::string>& unreadable);
