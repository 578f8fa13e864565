#include "preferences_window.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

namespace quorvix::platform::qt {
namespace {

constexpr int kLabelWidth = 110;
// The window's small texts are sized against a 13-point system font; here they keep those
// proportions to whatever font the desktop gives.
constexpr double kDesignFontSize = 13;

QFont scaled(QFont font, double designSize) {
  font.setPointSizeF(QApplication::font().pointSizeF() * designSize / kDesignFontSize);
  return font;
}

QString qt(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

// A text in the colour of a warning, wrapped to the window's width, that can be copied.
QLabel* warning(const char* name) {
  auto* label = new QLabel;
  label->setObjectName(name);
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, QColor(0xB0, 0x1E, 0x1E));
  label->setPalette(palette);
  label->hide();
  return label;
}

// A line of the window: a fixed-width label, then the controls.
QHBoxLayout& row(QVBoxLayout& stack, const char* label) {
  auto* line = new QHBoxLayout;
  line->setSpacing(8);
  if (label) {
    auto* title = new QLabel(qt(label));
    title->setFixedWidth(kLabelWidth);
    line->addWidget(title);
  }
  stack.addLayout(line);
  return *line;
}

}  // namespace

QtPreferencesWindow::QtPreferencesWindow(const PreferencesChoices& choices)
    : window_(std::make_unique<QWidget>()) {
  window_->setWindowTitle(qt("Quorvix — Cấu hình"));
  // Closable and resizable, but not minimisable: there is no dock to bring it back from.
  window_->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
  build(choices);
  // 540 by 680 was drawn for a 13-point font; with the desktop's larger fonts the window grows
  // to show every control without scrolling, as far as the screen allows. The buttons stay below
  // what scrolls, in sight at any height.
  const QSize document = document_->sizeHint();
  const QSize content(document.width(), document.height() + buttonBar_->sizeHint().height());
  QSize size(std::max(540, content.width()), std::max(680, content.height()));
  if (const auto* screen = QGuiApplication::primaryScreen()) {
    size = size.boundedTo(screen->availableGeometry().size());
    window_->resize(size);
    window_->move(screen->availableGeometry().center() - window_->rect().center());
  } else {
    window_->resize(size);
  }
}

QtPreferencesWindow::~QtPreferencesWindow() = default;

void QtPreferencesWindow::build(const PreferencesChoices& choices) {
  auto* outer = new QVBoxLayout(window_.get());
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  // What is wrong with the file comes first, above everything it concerns.
  fileProblem_ = warning("fileProblem");
  fileProblem_->setContentsMargins(18, 12, 18, 4);
  outer->addWidget(fileProblem_);
  auto* scroll = new QScrollArea;
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  outer->addWidget(scroll, 1);
  document_ = new QWidget;
  scroll->setWidget(document_);
  auto* stack = new QVBoxLayout(document_);
  stack->setContentsMargins(18, 16, 18, 16);
  stack->setSpacing(8);

  constexpr std::array<std::pair<const char*, const char*>, 4> popupRows{{
      {"Kiểu gõ", "methodPopup"},
      {"Đặt dấu", "tonePopup"},
      {"Unicode", "unicodePopup"},
      {"Chữ đang gõ", "outputPopup"},
  }};
  for (std::size_t i = 0; i < popupRows.size(); ++i) {
    auto* popup = new QComboBox;
    popup->setObjectName(popupRows[i].second);
    for (const auto& title : choices.popupTitles[i]) popup->addItem(qt(title));
    auto& line = row(*stack, popupRows[i].first);
    line.addWidget(popup);
    line.addStretch();
    popups_[i] = popup;
  }

  for (const auto& box : choices.checkBoxes) {
    auto* check = new QCheckBox(qt(box.title));
    check->setObjectName(qt(box.key));
    stack->addWidget(check, 0, Qt::AlignLeft);
    checks_.emplace(box.key, check);
  }

  excludedField_ = new QLineEdit;
  excludedField_->setObjectName("excludedField");
  excludedField_->setFixedWidth(340);
  excludedField_->setPlaceholderText(qt(choices.excludedAppsPlaceholder));
  auto& excludedRow = row(*stack, "App loại trừ");
  excludedRow.addWidget(excludedField_);
  excludedRow.addStretch();

  runningPopup_ = new QComboBox;
  runningPopup_->setObjectName("runningPopup");
  // At most as wide as designed, narrower when the buttons beside it need the room.
  runningPopup_->setMaximumWidth(260);
  runningPopup_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  runningPopup_->setMinimumContentsLength(8);
  auto& runningRow = row(*stack, "App đang chạy");
  runningRow.addWidget(runningPopup_, 1);
  addButton(runningRow, "Quét", "refreshRunningApps", &PreferencesActions::refreshRunningApps);
  addButton(runningRow, "Thêm vào loại trừ", "addRunningApp", &PreferencesActions::addRunningApp);
  runningRow.addStretch();

  auto* note = new QLabel(qt("App profile/charset nâng cao: dùng “Mở file JSON”."));
  note->setFont(scaled(note->font(), 11));
  note->setForegroundRole(QPalette::PlaceholderText);
  stack->addWidget(note);

  auto* macroTitle = new QLabel(qt("Macro (mỗi dòng key=giá trị):"));
  auto titleFont = scaled(macroTitle->font(), 12);
  titleFont.setBold(true);
  macroTitle->setFont(titleFont);
  stack->addWidget(macroTitle);

  macroView_ = new QPlainTextEdit;
  macroView_->setObjectName("macroView");
  macroView_->setFixedHeight(92);
  macroView_->setFont(scaled(QFontDatabase::systemFont(QFontDatabase::FixedFont), 12));
  stack->addWidget(macroView_);

  stack->addStretch();

  // Below what scrolls: why a save did not happen, where the eye goes after clicking, and the
  // buttons.
  buttonBar_ = new QWidget;
  auto* bar = new QVBoxLayout(buttonBar_);
  bar->setContentsMargins(18, 8, 18, 16);
  bar->setSpacing(8);
  notice_ = warning("notice");
  bar->addWidget(notice_);
  auto& buttons = row(*bar, nullptr);
  addButton(buttons, "Lưu", "save", &PreferencesActions::save);
  addButton(buttons, "Huỷ", "cancel", &PreferencesActions::cancel);
  addButton(buttons, "Mở file JSON", "openJSON", &PreferencesActions::openJSON);
  buttons.addStretch();
  outer->addWidget(buttonBar_);

  // Return saves, as the window's main button; a line break in the macro text is typed with
  // Return all the same, since the text field takes the key first.
  for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* shortcut = new QShortcut(QKeySequence(key), window_.get());
    QObject::connect(shortcut, &QShortcut::activated, [this] {
      if (actions_) actions_->save();
    });
  }
}

void QtPreferencesWindow::addButton(QLayout& layout, const char* title, const char* name,
                                    void (PreferencesActions::*action)()) {
  auto* button = new QPushButton(qt(title));
  button->setObjectName(name);
  QObject::connect(button, &QPushButton::clicked, [this, action] {
    if (actions_) (actions_->*action)();
  });
  layout.addWidget(button);
}

int QtPreferencesWindow::selectedIndex(PreferencesPopup popup) const {
  return popups_[static_cast<std::size_t>(popup)]->currentIndex();
}

void QtPreferencesWindow::selectIndex(PreferencesPopup popup, int index) {
  popups_[static_cast<std::size_t>(popup)]->setCurrentIndex(index);
}

bool QtPreferencesWindow::isChecked(std::string_view key) const {
  const auto found = checks_.find(key);
  return found != checks_.end() && found->second->isChecked();
}

void QtPreferencesWindow::setChecked(std::string_view key, bool on) {
  if (const auto found = checks_.find(key); found != checks_.end()) found->second->setChecked(on);
}

std::string QtPreferencesWindow::excludedAppsText() const { return utf8(excludedField_->text()); }

void QtPreferencesWindow::setExcludedAppsText(const std::string& text) { excludedField_->setText(qt(text)); }

void QtPreferencesWindow::setRunningAppTitles(const std::vector<std::string>& titles) {
  runningPopup_->clear();
  for (const auto& title : titles) runningPopup_->addItem(qt(title));
}

int QtPreferencesWindow::selectedRunningApp() const { return runningPopup_->currentIndex(); }

std::string QtPreferencesWindow::macroText() const { return utf8(macroView_->toPlainText()); }

void QtPreferencesWindow::setMacroText(const std::string& text) { macroView_->setPlainText(qt(text)); }

void QtPreferencesWindow::setNotice(const std::string& text) {
  notice_->setText(qt(text));
  notice_->setVisible(!text.empty());
}

void QtPreferencesWindow::setFileProblem(const std::string& text) {
  fileProblem_->setText(qt(text));
  fileProblem_->setVisible(!text.empty());
}

void QtPreferencesWindow::show() {
  window_->show();
  window_->raise();
  window_->activateWindow();
}

// Closing, not merely hiding, is what ends the window's own application once no window is left.
void QtPreferencesWindow::hide() { window_->close(); }

// xdg-open tells whether a program took the file only by how it ends, which Qt's own opening of
// a URL does not wait for. It is left to end on its own, also after the window: ending it early
// could stop the program it starts.
void QtPreferencesWindow::openFile(const std::filesystem::path& path, const std::string& noticeIfNotOpened) {
  auto* opener = new QProcess;
  const auto notOpened = [this, notice = noticeIfNotOpened] { setNotice(notice); };
  // The notice only while the window is there; the process is let go of in any case.
  QObject::connect(opener, &QProcess::finished, notice_, [notOpened](int code, QProcess::ExitStatus how) {
    if (how != QProcess::NormalExit || code != 0) notOpened();
  });
  QObject::connect(opener, &QProcess::errorOccurred, notice_, [notOpened](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) notOpened();
  });
  QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
  QObject::connect(opener, &QProcess::errorOccurred, opener, [opener](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) opener->deleteLater();
  });
  opener->start(QStringLiteral("xdg-open"), {QString::fromStdString(path.string())});
}

}  // namespace quorvix::platform::qt
