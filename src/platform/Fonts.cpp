#include "Fonts.h"

#include <QStringList>

namespace qb {

void InstallFontSubstitutions() {
    static bool done = false;
    if (done) return;
    done = true;
    QFont::insertSubstitutions(QString::fromUtf8("宋体"), {QStringLiteral("AR PL UMing CN"),
                                                           QStringLiteral("Noto Serif CJK SC")});
    QFont::insertSubstitutions(QStringLiteral("SimSun"), {QStringLiteral("AR PL UMing CN"),
                                                          QStringLiteral("Noto Serif CJK SC")});
    QFont::insertSubstitutions(QString::fromUtf8("隶书"),
                               {QStringLiteral("AR PL UKai CN"), QStringLiteral("AR PL UMing CN")});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), {QStringLiteral("WenQuanYi Micro Hei"),
                                                                 QStringLiteral("Noto Sans CJK SC")});
}

QFont RequestedFont(const char* familyUtf8, int pixelSize) {
    QFont f(QString::fromUtf8(familyUtf8));
    f.setPixelSize(pixelSize);
    return f;
}

} // namespace qb
