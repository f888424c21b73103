#include "TestSupport.h"

#include <QCoreApplication>
#include <sys/wait.h>
#include <unistd.h>

void TRecordingDialogs::ShowMessage(TMsgKind kind, const QString& title, const QString& text) {
  Messages.push_back({kind, title, text});
  if (WhileShown) WhileShown(Messages.back());
}

std::optional<QString> TRecordingDialogs::OpenFile(const TFileDialogSettings& settings) {
  FileDialogs.push_back(settings);
  if (FileAnswers.empty()) return std::nullopt;
  const QString answer = FileAnswers.front();
  FileAnswers.pop_front();
  if (answer.isEmpty()) return std::nullopt;
  return std::optional<QString>(answer);
}

std::optional<QString> TRecordingDialogs::SaveFile(const TFileDialogSettings& settings) {
  return OpenFile(settings);
}

std::optional<QStringList> TRecordingDialogs::OpenFiles(const TFileDialogSettings& settings) {
  const std::optional<QString> answer = OpenFile(settings);
  if (!answer) return std::nullopt;
  return answer->split(QLatin1Char('\n'));
}

std::optional<int> TRecordingDialogs::ChooseItem(const TChoiceSettings& settings) {
  Choices.push_back(settings);
  if (ChoiceAnswers.empty()) return std::nullopt;
  const std::optional<int> answer = ChoiceAnswers.front();
  ChoiceAnswers.pop_front();
  return answer;
}

void TRecordingDialogs::ShowException(const QString& text) { Exceptions.push_back(text); }

std::vector<QString> TRecordingDialogs::Texts() const {
  std::vector<QString> all;
  for (const auto& m : Messages) all.push_back(m.Text);
  for (const auto& e : Exceptions) all.push_back(e);
  return all;
}

TExceptionRecorder::TExceptionRecorder()
    : previous_(SetExceptionReporter([this](const QString& t) { Texts.push_back(t); })) {}

TExceptionRecorder::~TExceptionRecorder() { SetExceptionReporter(previous_); }

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (TClock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ::usleep(500);
  }
  return true;
}

void PumpFor(int ms) {
  const auto deadline = TClock::now() + std::chrono::milliseconds(ms);
  while (TClock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ::usleep(500);
  }
}

int RunInChild(const std::function<int()>& inChild) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) ::_exit(inChild());
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
