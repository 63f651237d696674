#include "shell/editor.hpp"

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <cstdlib>
#include <sstream>

#include "strings/text.hpp"

namespace inhibra::shell {

namespace {

std::optional<editor_command> from_variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  std::istringstream words(value);
  editor_command cmd;
  std::string word;
  while (words >> word) {
    if (cmd.program.empty()) {
      cmd.program = word;
    } else {
      cmd.arguments.push_back(word);
    }
  }
  if (cmd.program.empty()) return std::nullopt;
  return cmd;
}

}  // namespace

std::optional<editor_command> find_editor() {
  if (auto cmd = from_variable("VISUAL")) return cmd;
  if (auto cmd = from_variable("EDITOR")) return cmd;
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) return std::nullopt;
  return editor_command{opener.toStdString(), {}};
}

bool start_editor(const std::string& file) {
  const auto cmd = find_editor();
  if (!cmd) return false;
  QStringList args;
  for (const auto& a : cmd->arguments)
    args << QString::fromStdString(a);
  args << QString::fromStdString(file);
  return QProcess::startDetached(QString::fromStdString(cmd->program), args);
}

std::string no_editor_message(const std::string& file) {
  return strings::join_crlf({"No text editor could be started for " + file,
                             "Set the VISUAL or EDITOR environment variable to your editor",
                             "(for example VISUAL=gedit), or install xdg-utils so that the",
                             "desktop's default application for text files is used."});
}

}  // namespace inhibra::shell
