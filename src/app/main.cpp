// quillbridge: no command-line options are read; everything is in RunQuillbridge.
#include "Startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return qb::RunQuillbridge();
}
