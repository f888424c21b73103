// Writes each export case's contacts.vcf with the values a vCard reader must give back
// (expected.json) into a folder of its own under the folder named on the command line,
// for check_vcards.py, which reads them with python3-vobject.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <exception>

#include "ExportCases.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: export_samples FOLDER\n");
    return 2;
  }
  try {
    const QDir root(QFile::decodeName(argv[1]));
    int index = 0;
    for (const TExportCase& c : ExportCases()) {
      const QString folder = root.filePath(QString::number(index++));
      if (!QDir().mkpath(folder)) throw std::runtime_error("cannot create " + folder.toStdString());
      ExportThroughBackup(c.Lists, folder);
      QJsonObject expected;
      expected["case"] = QString::fromStdString(c.Name);
      expected["cards"] = ExpectedCards(c);
      QFile out(QDir(folder).filePath(QStringLiteral("expected.json")));
      if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(expected).toJson()) < 0)
        throw std::runtime_error("cannot write " + out.fileName().toStdString());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "export_samples: %s\n", e.what());
    return 1;
  }
  return 0;
}
