// Draws the program's icon into a hicolor icon theme folder at build time:
//   make_icons FOLDER SIZE...
// writes FOLDER/SIZExSIZE/apps/vantoril.png and, for show files,
// FOLDER/SIZExSIZE/mimetypes/application-x-vantoril-show.png.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <cstdio>

#include "platform/resource_art.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make_icons FOLDER SIZE...\n");
    return 1;
  }
  QGuiApplication application(argc, argv);
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (int i = 2; i < argc; ++i) {
    bool number = false;
    const int size = QString::fromLocal8Bit(argv[i]).toInt(&number);
    if (!number || size < 16 || size > 1024) {
      std::fprintf(stderr, "make_icons: %s is not an icon size (16 to 1024)\n", argv[i]);
      return 1;
    }
    const QImage icon = vantoril::ProgramIconImage(size);
    const QString sizeFolder = folder + QStringLiteral("/%1x%1/").arg(size);
    for (const char* place : {"apps/vantoril.png", "mimetypes/application-x-vantoril-show.png"}) {
      const QString file = sizeFolder + QString::fromLatin1(place);
      if (!QDir().mkpath(file.section(QLatin1Char('/'), 0, -2)) || !icon.save(file, "PNG")) {
        std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(file));
        return 1;
      }
    }
  }
  return 0;
}
