// A drag source for the end-to-end test: a small window titled
// "drag-files" at the screen's top left; pressing the mouse in it drags the
// files named on the command line (as a file manager does). It runs until it
// is killed, since the target fetches the data after the drop.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace {

class DragSource final : public QWidget {
 public:
  explicit DragSource(QList<QUrl> urls) : urls_(std::move(urls)) {}

 protected:
  void mousePressEvent(QMouseEvent*) override {
    auto* drag = new QDrag(this);  // owned by this window
    auto* data = new QMimeData;    // owned by the drag
    data->setUrls(urls_);
    drag->setMimeData(data);
    // The target asks for the data after the drop: stay until killed.
    drag->exec(Qt::CopyAction);
  }

 private:
  QList<QUrl> urls_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QList<QUrl> urls;
  for (int i = 1; i < argc; ++i) urls << QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i]));
  DragSource source(urls);
  source.setWindowTitle(QStringLiteral("drag-files"));
  source.setGeometry(0, 0, 120, 120);
  source.show();
  return app.exec();
}
