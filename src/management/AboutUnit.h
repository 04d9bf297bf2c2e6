// TAboutBox "关于": product name, version, a line about the program, and the notices of the
// data the shipped lexicons and input-scheme tables are made from.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace qb {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Comments = nullptr;
    QPushButton* OKButton = nullptr;
};

// The product web site (there is no public site yet: a placeholder under .example) and its
// download page with the video lessons.
inline constexpr const char* kWebSite = "https://quillbridge.example/";
inline constexpr const char* kDownloadPage = "https://quillbridge.example/download.htm";

// The notice shown under the version: the data sources and their licences.
QString DataLicenceNotice();

} // namespace qb
