// The reference for the window's start-up: the least a Qt Widgets program does to show a window, a
// label in a top-level widget, built with the project's flags; `one_label WIDTHxHEIGHT` gives the
// label that size. It ends right after its first paint, as quolk does with
// QUOLK_QUIT_AFTER_FIRST_PAINT=1.
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>

namespace {

class FirstPaintExit : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) QTimer::singleShot(0, [] { std::_Exit(0); });
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QLabel label("Quolk");
    label.installEventFilter(new FirstPaintExit);
    int width = 0, height = 0;
    if (argc > 1 && std::sscanf(argv[1], "%dx%d", &width, &height) == 2) label.resize(width, height);
    label.show();
    return application.exec();
}
