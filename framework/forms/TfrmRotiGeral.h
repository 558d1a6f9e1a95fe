#pragma once
// The base screen every routine screen derives from.

#include "controls/GroupBox.h"
#include "controls/Label.h"
#include "controls/Panel.h"
#include "controls/TButtonFlat.h"
#include "forms/Form.h"
#include "units/TMessages.h"

namespace vol {

/// A routine screen: a child window of the host's main window with the screen-code label,
/// the data group at the left, the side panel with the button panel and the confirm
/// button, and the message catalogue. Its create, close and destroy events are wired to
/// the virtual handlers below; a screen overrides them and calls these first. Closing
/// releases the screen.
class TfrmRotiGeral : public Form {
public:
    explicit TfrmRotiGeral(Application& app, std::string name);

    Label* lblCodTela;
    GroupBox* grbDadosRel;
    Panel* panMenu;
    Panel* panBotoes;
    TButtonFlat* sbtConfirma;
    TMessages* msgPadrao;

    virtual void FormCreate(Component& sender);
    /// Sets the close action to release the screen.
    virtual void FormClose(Component& sender, CloseAction& action);
    virtual void FormDestroy(Component& sender);
};

}  // namespace vol
