// Saves the whole X screen as a PNG file: the end-to-end test's screenshot.
// Given screen points after the file name, it also prints each one's colour
// as rrggbb, one a line, for the script to check what the screen shows.
// scripts/make_screenshots uses it for the user guide's pictures.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2 || argc % 2 != 0) {
    std::fprintf(stderr, "usage: screen_grab output.png [x y]...\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return 1;
  // SCREEN_GRAB_RECT="x,y,width,height" keeps that part of the screen only.
  QPixmap shot = screen->grabWindow(0);
  if (const char* rect = std::getenv("SCREEN_GRAB_RECT")) {
    int x = 0, y = 0, width = 0, height = 0;
    if (std::sscanf(rect, "%d,%d,%d,%d", &x, &y, &width, &height) == 4 && width > 0 && height > 0) {
      shot = shot.copy(x, y, width, height);
    }
  }
  if (!shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) return 1;
  const QImage image = shot.toImage();
  for (int i = 2; i + 1 < argc; i += 2) {
    const int x = std::atoi(argv[i]), y = std::atoi(argv[i + 1]);
    const QRgb c = image.valid(x, y) ? image.pixel(x, y) : 0;
    std::printf("%02x%02x%02x\n", qRed(c), qGreen(c), qBlue(c));
  }
  return 0;
}
