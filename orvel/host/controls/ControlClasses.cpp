// The registration of the host's control classes for form files.
#include "orvel/host/controls/ControlClasses.h"

#include "orvel/host/controls/Buttons.h"
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/ExtCtrls.h"
#include "orvel/host/controls/Forms.h"
#include "orvel/host/controls/Grids.h"
#include "orvel/host/controls/StdCtrls.h"

namespace orvel {

void RegisterControlClasses() {
    for (const TClassInfo* info :
         {&TForm::StaticClassInfo(), &TButton::StaticClassInfo(), &TBitBtn::StaticClassInfo(),
          &TLabel::StaticClassInfo(), &TEdit::StaticClassInfo(), &TMemo::StaticClassInfo(),
          &TCheckBox::StaticClassInfo(), &TGroupBox::StaticClassInfo(), &TPanel::StaticClassInfo(),
          &TBevel::StaticClassInfo(), &TListBox::StaticClassInfo(), &TComboBox::StaticClassInfo(),
          &TDrawGrid::StaticClassInfo(), &TStringGrid::StaticClassInfo(),
          &TTreeView::StaticClassInfo(), &TListView::StaticClassInfo()})
        RegisterClass(*info);
}

} // namespace orvel
