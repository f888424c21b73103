// The collected fault matrix of a ctest run: prints the table of every row file left by
// the rows (each ran as a test in a process of its own) and fails when a row failed.
// Usage: faultmatrix_collect ROWS-FOLDER
#include <iostream>

#include "FaultMatrixTable.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: faultmatrix_collect ROWS-FOLDER\n";
    return 2;
  }
  std::vector<std::string> unreadable;
  const std::vector<TMatrixRow> rows = ReadRowFiles(argv[1], unreadable);
  if (rows.empty() && unreadable.empty()) {
    std::cout << "The fault matrix: no row has run\n";
    return 0;
  }
  std::cout << "The fault matrix\n" << MatrixTable(rows);
  for (const std::string& name : unreadable) std::cout << "unreadable row file " << name << '\n';
  int failed = unreadable.empty() ? 0 : 1;
  for (const TMatrixRow& r : rows) failed |= r.Passed ? 0 : 1;
  return failed;
}
