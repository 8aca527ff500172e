// "Randomize" on page 2: asks how many numbers to add and draws them from the
// pool, each chosen exactly as if its button had been clicked.
#include <QCheckBox>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

#include "Unit1.h"
#include "globalunit.h"
#include "numbers/numberUnit.h"
#include "platform/desktop.h"

void TForm1::Button2Click() {
  int requested = 0;
  {
    TnumberForm form(this);
    form.chosencount = static_cast<int>(selection.nosortlistbox.size());
    form.boardcount = numbercount;
    form.pickcount = wizardstate.pick;
    desktop().runModal(form);
    requested = form.requestedcount;
  }
  // The dialog's bounds keep the request within the pool; never draw from an
  // empty one whatever it returned.
  requested = std::min(requested, static_cast<int>(selection.randomListBox.size()));
  if (requested <= 0) return;

  Edit1->clear();
  random.seedFromClock();
  wizardstate.zoption += requested;
  for (int i = 0; i < requested; ++i) {
    const int index = random.below(static_cast<int>(selection.randomListBox.size()));
    const int number = numberValue(selection.randomListBox[index]);
    if (number >= 1 && number <= 100 && numberbuttons[number] != nullptr) {
      numberbuttons[number]->setEnabled(false);
      numberbuttons[number]->setAutoRaise(true);
    }
    selection.chooseFromPool(index);
  }
  refreshSelection(CheckBox1->isChecked());
}
