#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QMainWindow frame;
  frame.setWindowTitle(QStringLiteral("Tarvex Collector"));
  frame.showMaximized();
  return QApplication::exec();
}
