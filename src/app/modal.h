// Runs every message box and modal dialog of the program.
//
// Exit can be chosen from the tray menu while a box or a dialog is open (the
// tray menu is not blocked by modality). The program must then end at once:
// endAll() closes whatever is open, and from then on no box is shown and
// every caller is told to stop (exiting()).
#pragma once

#include "common/ports.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QDialog;
class QWidget;

namespace sb::app {

class Modal final : public QObject, public common::Prompter
{
    Q_OBJECT

public:
    // Boxes shown while no dialog is open belong to `window`.
    explicit Modal(QWidget* window);

    void error(const QString& title, const QString& text) override;
    void errorLater(const QString& title, const QString& text) override;
    bool ask(const QString& title, const QString& text) override;
    int run(QDialog& dialog) override;
    bool exiting() const override { return exiting_; }

    // Closes every open box and dialog; nothing is shown any more.
    void endAll();

private:
    int exec(QDialog& dialog);

    QWidget* window_;
    QList<QPointer<QDialog>> open_; // innermost last
    bool exiting_ = false;
};

} // namespace sb::app
