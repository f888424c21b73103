#include "OperationEdge.h"

#include "Handler.h"
#include "MainWindowHost.h"

void LockControls(IMainWindowHost& host, bool window) {
  for (auto c : {TMainControl::Read, TMainControl::Load, TMainControl::Save, TMainControl::Exit,
                 TMainControl::PortList})
    host.SetControlEnabled(c, false);
  if (window) host.SetWindowEnabled(false);
}

void UnlockControls(IMainWindowHost& host) {
  RunEachStep([&] { host.Progress().CloseProgress(); }, [&] { host.SelectFirstNode(); },
              [&] {
                for (auto c : {TMainControl::Read, TMainControl::Exit, TMainControl::PortList})
                  host.SetControlEnabled(c, true);
                host.SetWindowEnabled(true);
                host.FocusWindow();
              });
}
