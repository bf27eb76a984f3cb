// The send dialog's behaviour: the user chooses a backup archive, sees which
// kinds it holds, ticks the kinds to send and sends them to one scale, or to
// every scale named in the list file "seznam.lst".
//
// Plain C++: the window is reached only through its WindowPort; transfers go
// through the backup dialog's runner, handed in at start-up.
#pragma once

#include "BackupDialog.h"
#include "RunResult.h"
#include "SendRun.h"
#include "WindowPort.h"

#include <string>

namespace zalohy {

class SendDialog : public FormHandlers {
public:
    // Gives the check boxes their captions and runs FormCreate.
    SendDialog(WindowPort& window, ScaleRunner& runner);
    SendDialog(const SendDialog&) = delete;
    SendDialog& operator=(const SendDialog&) = delete;

    // Captions set once, at start-up.
    void FormCreate();
    // Each time the dialog is shown: status line, empty log and archive
    // name, five kinds unticked (the image box and every enabled state stay).
    void FormActivate() override;
    // "...", "Odeslat" and "Na seznam".
    void clicked(Control button) override;
    // Lets the user choose the archive and ticks the kinds it holds.
    void FileSelectBtnClick();
    // The send run to the scale in the address box.
    RunResult SendFormatBtnClick();
    // The send run to every scale of the list file.
    ListRunResult SendByListClick();

private:
    // The request of the window: its address, archive and ticked kinds.
    SendRequest request(bool listed) const;
    // The reminder to choose an archive first; the run goes on after it.
    void warnIfNoArchiveName();

    WindowPort& window_;
    ScaleRunner& runner_;
    WindowReport report_;  // the run's lines, boxes and status line go to this window
};

}  // namespace zalohy
