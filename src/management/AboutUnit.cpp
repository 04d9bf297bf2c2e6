#include "AboutUnit.h"

#include "QtText.h"

#include <QApplication>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace qb {

namespace {

// The program's icon, or a drawn stand-in when the application has none.
QPixmap IconPixmap(int size) {
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) return icon.pixmap(size, size);
    QPixmap pm(size, size);
    pm.fill(QColor(0x1a, 0x3f, 0x8f));
    QPainter p(&pm);
    p.setPen(Qt::white);
    QFont f(QStringLiteral("AR PL UKai CN"));
    f.setPixelSize(size * 2 / 3);
    p.setFont(f);
    p.drawText(pm.rect(), Qt::AlignCenter, U("渡"));
    return pm;
}

} // namespace

QString DataLicenceNotice() {
    return U("词库与码表数据来源：ECDICT 英汉词典（MIT 许可证）；WordNet 3.0 不规则词形"
             "（WordNet 3.0 许可证，版权归普林斯顿大学所有）；Rime 拼音 pinyin_simp"
             "（Apache-2.0）；Rime 五笔 wubi86（LGPL-3.0）；Rime 朙月拼音 luna_pinyin"
             "（LGPL-3）；Unicode 汉字读音数据 Unihan（Unicode 数据许可证）。"
             "各许可证全文见程序文件夹中的 LICENSES-data.txt。");
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(U("关于"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setFixedSize(48, 48);
    ProgramIcon->setScaledContents(true); // stretched to its frame
    ProgramIcon->setPixmap(IconPixmap(48));

    ProductName = new QLabel(U("文渡翻译环境"), panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont big = ProductName->font();
    big.setPixelSize(20);
    big.setBold(true);
    ProductName->setFont(big);
    Version = new QLabel(U("英汉 1.0 版"), panel);
    Version->setObjectName(QStringLiteral("Version"));
    Copyright = new QLabel(U("英译汉翻译工作台 · Quillbridge 项目"), panel);
    Copyright->setObjectName(QStringLiteral("Copyright"));
    Comments = new QLabel(DataLicenceNotice(), panel);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);
    Comments->setFixedWidth(300);

    auto* head = new QHBoxLayout;
    head->addWidget(ProgramIcon, 0, Qt::AlignTop);
    auto* names = new QVBoxLayout;
    names->addWidget(ProductName);
    names->addWidget(Version);
    head->addLayout(names, 1);
    auto* inner = new QVBoxLayout(panel);
    inner->addLayout(head);
    inner->addWidget(Copyright);
    inner->addWidget(Comments);

    OKButton = new QPushButton(U("确定"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(panel);
    outer->addWidget(OKButton, 0, Qt::AlignHCenter);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    // In the centre of the screen.
    adjustSize();
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace qb
