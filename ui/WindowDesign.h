#pragma once
// What both windows share of their design: the 8-point face with its stand-ins where
// Tahoma is missing, the fixed-size frame with only a close box, and the placing in the
// centre of the screen. Window thread only.

#include <QFont>
#include <QRect>
#include <QWidget>

// The application's title: the name of the program, and the title of the exception box.
inline constexpr const char* ApplicationTitle = "ZARVO";

// Tahoma at 11 pixels (8 point at 96 dpi); where Tahoma is not installed, the first
// installed face of similar width whose line fits the design's 13-pixel labels stands
// in (on a bare Debian that is DejaVu Sans), so that the captions fit the fixed layout.
QFont DesignFont();

// A top-level window with a fixed client area and, of the title-bar buttons, the close
// box only. extraFlags adds e.g. Qt::Tool | Qt::WindowStaysOnTopHint.
void SetFixedWindow(QWidget& window, int clientWidth, int clientHeight,
                    Qt::WindowFlags extraFlags = {});

// Moves the window so that it sits in the middle of its screen's available area.
void CentreOnScreen(QWidget& window);

// Places a control at its design position, in pixels within the client area.
void Place(QWidget& control, int left, int top, int width, int height);
