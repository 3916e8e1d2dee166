// Main-window placement and bar layout kept between runs, in the per-user settings
// (organisation "Velmor", application "Tarq Corvex"): WindowPos/LastWndPlacement and
// ToolBars/State.
#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>

class QMainWindow;

namespace tarq {

inline constexpr const char* kSettingsOrganisation = "Velmor";
inline constexpr const char* kSettingsApplication = "Tarq Corvex";
inline constexpr const char* kPlacementKey = "WindowPos/LastWndPlacement";
inline constexpr const char* kBarStateKey = "ToolBars/State";

// Placement without a saved one: on a screen 800 pixels wide or less the window fills the
// top left corner at 800 x 570; otherwise it keeps its position at 900 x 700.
QRect DefaultPlacement(int screenWidth, QPoint currentPosition);

class WindowSettings {
 public:
  static QByteArray SavedPlacement();
  static QByteArray SavedBarState();
  // Restores the saved placement and bar layout; false when no placement was saved (the
  // default placement applies then). A window saved minimized comes back normal.
  static bool Restore(QMainWindow& window);
  static void Save(const QMainWindow& window);
};

}  // namespace tarq
