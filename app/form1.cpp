//===-- app/form1.cpp - The main window -------------------------*- C++ -*-===//
#include "form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QShowEvent>
#include <QStyle>
#include <algorithm>

#include <arc/unzip/unzip.h>
#include <arc/zip/zip.h>
#include "app/alias_file.h"
#include "app/archive_components.h"
#include "app/language.h"
#include "app/locations.h"
#include "app/qt_dialogs.h"
#include "app/texts.h"
#include "msg/design_font.h"

namespace app {

namespace {

const QColor kButtonFace(0xF0, 0xF0, 0xF0);
const QColor kGreen(0x00, 0x80, 0x00);
const QColor kMaroon(0x80, 0x00, 0x00);
const QColor kNavy(0x00, 0x00, 0x80);

// The client area: the designed outer size 591 x 134 less a sizeable frame of
// 4 pixels on each side and a 19-pixel title bar.
constexpr int kClientWidth = 583;
constexpr int kClientHeight = 107;
constexpr int kPanelHeight = 103;
// The gauges are anchored to the right edge of the panel.
constexpr int kGaugeRightGap = kClientWidth - (7 + 572);

// A text that runs toward the window's far edge stops this far from it.
constexpr int kEdgeMargin = 8;

// The stand-in face runs about an eighth wider than the design face. A fixed
// caption that would overflow its designed box is drawn one or more pixels
// smaller instead, so that the boxes keep their designed places.
constexpr int kSmallestCaptionPixels = 9;

template <typename Needed>
void FitCaption(QWidget& widget, int available, Needed needed) {
  QFont font = widget.font();
  while (needed(widget) > available && font.pixelSize() > kSmallestCaptionPixels) {
    font.setPixelSize(font.pixelSize() - 1);
    widget.setFont(font);
  }
}

QString Text(const char* text) { return QString::fromStdString(Tr(text)); }

QLabel* DesignLabel(QWidget* parent, const char* name, const QRect& rect, const char* caption,
                    const QColor& colour) {
  auto* label = new QLabel(Text(caption), parent);
  label->setObjectName(name);
  label->setGeometry(rect);
  label->setFont(msg::DesignFont("QRVZIBA", -16));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);  // the reading side
  return label;
}

msg::TBitBtn* DesignButton(QWidget* parent, const char* name, const QRect& rect,
                           const char* caption, QStyle::StandardPixmap glyph) {
  auto* button = new msg::TBitBtn(parent);
  button->setObjectName(name);
  button->setGeometry(rect);
  button->setText(Text(caption));
  button->setFont(msg::DesignFont("QRVZIBA", -15));
  button->SetGlyph(QApplication::style()->standardIcon(glyph).pixmap(16, 16));
  FitCaption(*button, rect.width(), [](const QWidget& w) { return w.sizeHint().width(); });
  return button;
}

TGauge* DesignGauge(QWidget* parent, const char* name, const QRect& rect) {
  auto* gauge = new TGauge(parent);
  gauge->setObjectName(name);
  gauge->setGeometry(rect);
  gauge->SetMinValue(0);
  gauge->SetMaxValue(100);
  gauge->SetForeColor(kNavy);
  gauge->SetBackColor(Qt::white);
  gauge->SetProgress(0);
  return gauge;
}

}  // namespace

// What the operations change in the window.
class TForm1::THost : public TOperationHost {
 public:
  explicit THost(TForm1& form) : form_(form) {}

  void SetGauge1(int32_t progress) override { form_.GaugeShow1->SetProgress(progress); }
  void SetGauge2(int32_t progress) override { form_.GaugeShow2->SetProgress(progress); }
  void SetBusyCursor(bool busy) override {
    // One cursor for the whole application, set rather than stacked.
    if (busy) {
      if (QApplication::overrideCursor()) {
        QApplication::changeOverrideCursor(Qt::WaitCursor);
      } else {
        QApplication::setOverrideCursor(Qt::WaitCursor);
      }
    } else {
      while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    }
  }
  void Repaint() override { form_.repaint(); }
  // The window refuses to close while the operation runs: it closes after.
  void CloseMainWindow() override { form_.closeRequested_ = true; }
  void Terminate() override {
    form_.terminateRequested_ = true;
    QCoreApplication::quit();
  }
  // The window shows its own fixed messages, never the underlying error.
  void NoteError(const std::string&) override {}
  void SetConnecting(bool connecting) override {
    form_.Label3->setVisible(connecting);
    // Connecting blocks the thread, so the label is painted before it starts.
    form_.repaint();
  }

 private:
  TForm1& form_;
};

void AutoSizeFromReadingEdge(QLabel& label) {
  const int width = QFontMetrics(label.font()).horizontalAdvance(label.text());
  if (label.layoutDirection() == Qt::LeftToRight) {
    label.resize(width, label.height());
    return;
  }
  const int right = label.x() + label.width();
  label.setGeometry(right - width, label.y(), width, label.height());
}

TForm1::TForm1(TFormEnvironment environment, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      exeDir_(std::move(environment.ExeDir)),
      settings_(std::move(environment.Settings)),
      dialogs_(std::move(environment.Dialogs)) {
  setObjectName("Form1");
  setWindowTitle(Text(texts::kFormCaption));
  // The design reads right to left; a left-to-right translation reads the
  // window in a mirror (createControls).
  setLayoutDirection(ReadingDirection());
  setFont(msg::DesignFont("MS Sans Serif", -11));
  QPalette face = palette();
  face.setColor(QPalette::Window, kButtonFace);
  face.setColor(QPalette::Button, kButtonFace);
  setPalette(face);
  setAutoFillBackground(true);
  resize(kClientWidth, kClientHeight);
  move(206, 240);

  createControls();

  ADOConnection1 = std::move(environment.Master);
  ADOConnection2 = std::move(environment.Company);
  ADOTable1 = std::make_unique<TAliasTable>(*ADOConnection1, "Alias_Zelvo");
  createMessages();
  OpenDialog1.Filter = "Zip Files|*.zip|All Files|*.*";
  SaveDialog1.Filter = "*.Zip";
  createArchiveComponents();

  // The window is created connected: a server that cannot be reached, or a
  // missing alias table, ends the program before the window shows.
  ADOConnection1->Open();
  ADOTable1->Open();
}

TForm1::~TForm1() = default;

void TForm1::createControls() {
  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setGeometry(0, 0, kClientWidth, kPanelHeight);

  // The controls are placed as designed, for reading right to left; left to
  // right, each takes the mirrored place.
  const bool mirrored = layoutDirection() == Qt::LeftToRight;
  const auto at = [mirrored](int left, int top, int width, int height) {
    return QRect(mirrored ? kClientWidth - left - width : left, top, width, height);
  };
  Label1 = DesignLabel(Panel1, "Label1", at(282, 9, 288, 24), texts::kTitle, kGreen);
  FitCaption(*Label1, Label1->width(), [](const QWidget& w) {
    const auto& label = static_cast<const QLabel&>(w);
    return QFontMetrics(label.font()).horizontalAdvance(label.text());
  });
  AutoSizeFromReadingEdge(*Label1);
  // Label2 shows data: it keeps its size of font and grows away from Label1.
  Label2 = DesignLabel(Panel1, "Label2", at(220, 9, 49, 24), texts::kCompanyName, kMaroon);
  AutoSizeFromReadingEdge(*Label2);
  BitBtn2 = DesignButton(Panel1, "BitBtn2", at(456, 51, 121, 25), texts::kRestoreButton,
                         QStyle::SP_DialogOpenButton);
  BitBtn1 = DesignButton(Panel1, "BitBtn1", at(336, 51, 121, 25), texts::kBackupButton,
                         QStyle::SP_DialogSaveButton);
  setTabOrder(BitBtn1, BitBtn2);
  // The two buttons read alike: both take the smaller of their fitted sizes.
  QFont buttonFont = BitBtn1->font();
  buttonFont.setPixelSize(std::min(BitBtn1->font().pixelSize(), BitBtn2->font().pixelSize()));
  BitBtn1->setFont(buttonFont);
  BitBtn2->setFont(buttonFont);

  SpeedButton1 = new QToolButton(Panel1);
  SpeedButton1->setObjectName("SpeedButton1");
  SpeedButton1->setGeometry(at(8, 54, 33, 22));
  SpeedButton1->setFocusPolicy(Qt::NoFocus);
  SpeedButton1->setIcon(QApplication::style()->standardIcon(QStyle::SP_DialogCloseButton));
  SpeedButton1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
  SpeedButton1->setToolTip(Text(texts::kCloseButtonTip) + " (" +
                           SpeedButton1->shortcut().toString(QKeySequence::NativeText) + ")");
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });

  // In the free space between the close button and the backup button.
  Label3 = new QLabel(Text(texts::kConnecting), Panel1);
  Label3->setObjectName("Label3");
  Label3->setGeometry(at(48, 54, 280, 22));
  Label3->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);  // the reading side
  Label3->hide();

  GaugeShow1 = DesignGauge(Panel1, "GaugeShow1", at(7, 78, 572, 12));
  GaugeShow2 = DesignGauge(Panel1, "GaugeShow2", at(7, 89, 572, 12));
  GaugeShow2->hide();
  BitBtn1->setFocus();
}

TMessageForms CreateMessageForms(QObject* owner) {
  auto configure = [owner](const char* name, msg::TMsgBtn buttons) {
    auto* form = new msg::TMsgForm(owner);
    form->setObjectName(name);
    form->SetAlignment(msg::TAlignment::taLeftJustify);
    form->SetScreenCenter(true);
    form->SetDefaultSet(true);
    form->SetScreen640(false);
    form->SetMainFormCenter(false);
    form->SetTopMsg(100);
    form->SetLeftMsg(200);
    form->SetHeight(120);
    form->SetWidth(320);
    form->SetAutoSize(false);
    form->SetMessageIndex(msg::TMsgIndex::Msg1);
    form->SetFont(msg::DesignFont("QRVZIBA", -13));
    form->SetMsgPicType(msg::TMsgPicType::None);
    form->SetMsgBtn(buttons);
    return form;
  };
  TMessageForms forms;
  forms.MsgForm1 = configure("MsgForm1", msg::TMsgBtn::Yes_No);
  forms.MsgForm1->SetMessageList1({Tr(texts::kConfirmRestore[0]), Tr(texts::kConfirmRestore[1]),
                                   Tr(texts::kConfirmRestore[2])});
  forms.MsgForm2 = configure("MsgForm2", msg::TMsgBtn::Ok);
  forms.MsgForm2->SetMessageList2({Tr(texts::kSuccess)});
  forms.MsgForm2->SetMessageList3({Tr(texts::kDuplicateName)});
  return forms;
}

void TForm1::createMessages() {
  const TMessageForms forms = CreateMessageForms(this);
  MsgForm1 = forms.MsgForm1;
  MsgForm2 = forms.MsgForm2;
}

void TForm1::createArchiveComponents() {
  UnZip1 = std::make_unique<arc::TUnZip>();
  ConfigureUnZip1(*UnZip1);
  Zip1 = std::make_unique<arc::TZip>();
  ConfigureZip1(*Zip1);
  if (!dialogs_) dialogs_ = std::make_unique<TQtDialogs>(this);
  host_ = std::make_unique<THost>(*this);
  operations_ = std::make_unique<TBackupRestore>(
      TOperationParts{exeDir_, databaseName_, *ADOConnection1, *ADOConnection2, *ADOTable1,
                      *MsgForm1, *MsgForm2, OpenDialog1, SaveDialog1, *Zip1, *UnZip1, settings_},
      *host_, *dialogs_);
}

void TForm1::FormShow() { LoadAliasDef(); }

void TForm1::LoadAliasDef() {
  const TCompany company = SelectCompany(exeDir_, *ADOTable1);
  databaseName_ = company.DatabaseName;
  setLabel2Caption(company.Description);
}

void TForm1::SaveAliasDef(const std::string& id) {
  WriteWholeFile(WritableSettingsFile(exeDir_, "DefAlias.dat"), id);
}

void TForm1::SpeedButton1Click() { close(); }

template <typename Operation>
void TForm1::runOperation(Operation operation) {
  if (operations_->Busy()) return;  // a click inside a running operation
  SpeedButton1->setEnabled(false);
  operation();
  SpeedButton1->setEnabled(true);
  if (closeRequested_) {
    closeRequested_ = false;
    close();
  }
}

void TForm1::BitBtn1Click() {
  runOperation([this] { operations_->BitBtn1Click(); });
}

void TForm1::BitBtn2Click() {
  runOperation([this] { operations_->BitBtn2Click(); });
}

void TForm1::setLabel2Caption(const std::string& caption) {
  // A description longer than the room toward the window's far edge is cut
  // with an ellipsis; the tip shows it whole.
  const QString text = QString::fromStdString(caption);
  const int room = Label2->layoutDirection() == Qt::LeftToRight
                       ? Panel1->width() - kEdgeMargin - Label2->x()
                       : Label2->x() + Label2->width() - kEdgeMargin;
  const QString shown = QFontMetrics(Label2->font()).elidedText(text, Qt::ElideRight, room);
  Label2->setText(shown);
  Label2->setToolTip(shown == text ? QString() : text);
  AutoSizeFromReadingEdge(*Label2);
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (operations_ && operations_->Busy()) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Panel1->resize(width(), kPanelHeight);
  // The gauges are anchored to the right edge, or, mirrored, to the left one.
  if (layoutDirection() == Qt::LeftToRight) return;
  for (TGauge* gauge : {GaugeShow1, GaugeShow2}) {
    gauge->move(Panel1->width() - kGaugeRightGap - gauge->width(), gauge->y());
  }
}

}  // namespace app
