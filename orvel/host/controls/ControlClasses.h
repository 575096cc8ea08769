// Makes the host's control classes known to form files by class name.
#pragma once

namespace orvel {

// Registers the forms and every creatable control class of the host (TForm, TButton, TBitBtn,
// TLabel, TEdit, TMemo, TCheckBox, TGroupBox, TPanel, TBevel, TListBox, TComboBox, TDrawGrid,
// TStringGrid, TTreeView, TListView). Calling it again does no harm.
void RegisterControlClasses();

} // namespace orvel
