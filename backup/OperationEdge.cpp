#include "OperationEdge.h"

#include "Handler.h"
#include "MainWindowHost.h"
#include "PhoneCommands.h"
#include "VaComm.h"

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

void ClosePhoneConnection(IMainWindowHost& host) noexcept {
  TVaComm& comm = host.VaComm();
  if (!comm.IsOpen()) return;
  TAtExchange& ex = host.Exchange();
  RunHandler(
      [&] {
        if (ex.IsDataModeOn()) ex.SendCommand(std::string(cmdDataModeOff));
      },
      [&] {
        ex.Timer().stop();
        comm.Close();
      });
}
