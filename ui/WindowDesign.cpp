#include "WindowDesign.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

namespace {

constexpr int kDesignPixels = 11;  // 8 point at 96 dpi

// Tahoma, then faces of similar width. A face only counts when it is really installed
// (fontconfig would hand out a look-alike under any name) and its line fits the 13-pixel
// labels of the design.
constexpr const char* kFaces[] = {"Tahoma", "Liberation Sans", "Arimo", "Arial", "DejaVu Sans"};
constexpr int kMaxLineHeight = 14;

QString ChooseFace() {
  const QStringList installed = QFontDatabase::families();
  for (const char* name : kFaces) {
    const QString family = QString::fromLatin1(name);
    if (!installed.contains(family, Qt::CaseInsensitive)) continue;
    QFont font(family);
    font.setPixelSize(kDesignPixels);
    if (QFontMetrics(font).height() <= kMaxLineHeight) return family;
  }
  return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

}  // namespace

QFont DesignFont() {
  static const QString face = [] {
    const QString chosen = ChooseFace();
    // Anything else that asks for Tahoma gets the same face.
    if (chosen.compare(QLatin1String("Tahoma"), Qt::CaseInsensitive) != 0)
      QFont::insertSubstitution(QStringLiteral("Tahoma"), chosen);
    return chosen;
  }();
  QFont font(face);
  font.setPixelSize(kDesignPixels);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

void SetFixedWindow(QWidget& window, int clientWidth, int clientHeight,
                    Qt::WindowFlags extraFlags) {
  window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                        Qt::MSWindowsFixedSizeDialogHint | extraFlags);
  window.setFixedSize(clientWidth, clientHeight);
}

void CentreOnScreen(QWidget& window) {
  QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  // The frame is not known before the first showing; centring the client area is off by
  // half a title bar at most.
  const QSize frame = window.isVisible() ? window.frameGeometry().size() : window.size();
  window.move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
}

void Place(QWidget& control, int left, int top, int width, int height) {
  control.setGeometry(left, top, width, height);
}
