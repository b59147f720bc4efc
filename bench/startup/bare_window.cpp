// The reference for the start-up benchmark: a bare Qt program that shows the
// same widgets as Stashbook's main window, empty, and does nothing else.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.setFixedSize(641, 392);

    auto* outer = new QGroupBox(&window);
    outer->setGeometry(8, 0, 625, 361);
    auto* left = new QGroupBox(outer);
    left->setGeometry(8, 8, 169, 345);
    auto* right = new QGroupBox(outer);
    right->setGeometry(184, 8, 433, 345);
    new QWidget(left);
    new QWidget(right);

    const char* leftButtons[] = {"[SITES] : ", "Reload", "Add", "Edit", "Rem"};
    for (int i = 0; i < 5; ++i)
        new QPushButton(QString::fromLatin1(leftButtons[i]), left);
    for (int i = 0; i < 9; ++i)
        new QPushButton(QStringLiteral("Button"), right);
    auto* sites = new QListWidget(left);
    sites->setGeometry(8, 40, 153, 265);
    for (int i = 0; i < 3; ++i) {
        auto* list = new QListWidget(right);
        list->setGeometry(8 + i * 120, 64, 120, 244);
    }
    auto* bar = new QStatusBar(&window);
    bar->addWidget(new QLabel(QStringLiteral("status"), bar), 1);
    bar->setGeometry(0, 365, 641, 27);

    window.show();
    return QApplication::exec();
}
