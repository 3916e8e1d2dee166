#include "ui/WindowSettings.h"

#include <QMainWindow>
#include <QSettings>

namespace tarq {

QRect DefaultPlacement(int screenWidth, QPoint currentPosition) {
  if (screenWidth <= 800) return QRect(0, 0, 800, 570);
  return QRect(currentPosition, QSize(900, 700));
}

QByteArray WindowSettings::SavedPlacement() {
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  return settings.value(kPlacementKey).toByteArray();
}

QByteArray WindowSettings::SavedBarState() {
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  return settings.value(kBarStateKey).toByteArray();
}

bool WindowSettings::Restore(QMainWindow& window) {
  const QByteArray placement = SavedPlacement();
  if (placement.isEmpty() || !window.restoreGeometry(placement)) return false;
  const QByteArray bars = SavedBarState();
  if (!bars.isEmpty()) window.restoreState(bars);
  // Starting minimized would hide the program the user just started.
  if (window.windowState() & Qt::WindowMinimized)
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  return true;
}

void WindowSettings::Save(const QMainWindow& window) {
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  settings.setValue(kPlacementKey, window.saveGeometry());
  settings.setValue(kBarStateKey, window.saveState());
  settings.sync();
}

}  // namespace tarq
