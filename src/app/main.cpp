// quillbridge: no command-line options are read; everything is in RunQuillbridge.
#include "SessionPlatform.h"
#include "Startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    qb::ChoosePlatformForSession(); // read by the QApplication's constructor
    QApplication app(argc, argv);
    return qb::RunQuillbridge();
}
