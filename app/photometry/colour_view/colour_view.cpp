#include "colour_view/colour_view.h"

#include "colour_view/colour_charts.h"
#include "colour_view/colour_panels.h"
#include "widgets/split_button.h"

#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

namespace quillon {

namespace {

constexpr int kBandHeight = SplitButton::kHeight + 2;
constexpr int kMargin = 8;

// A child that paints with a function of the view.
class PaintedArea : public QWidget {
public:
    PaintedArea(const QString &name, std::function<void(QPainter &, const QRect &)> paint,
                QWidget *parent)
        : QWidget(parent), paint_(std::move(paint)) {
        setObjectName(name);
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        paint_(painter, rect());
    }

private:
    std::function<void(QPainter &, const QRect &)> paint_;
};

QColor paletteQColor(int index) {
    const std::uint32_t rgb = colour_view::paletteColour(index);
    return QColor(static_cast<int>(rgb >> 16 & 0xFFu), static_cast<int>(rgb >> 8 & 0xFFu),
                  static_cast<int>(rgb & 0xFFu));
}

} // namespace

CColorGraph::CColorGraph(DataControl &control, QWidget *parent)
    : QWidget(parent), control_(control), worker_(control, this) {
    setObjectName("ColorView");
    worker_.setColourScaling(true);
    createButtons();
    charts_ = new PaintedArea(
        "ColourCharts",
        [this](QPainter &p, const QRect &r) {
            p.fillRect(r, Qt::white);
            paintColourCharts(p, r, chartData());
        },
        this);
    tile_ = new PaintedArea(
        "ColourTile",
        [this](QPainter &p, const QRect &r) {
            p.fillRect(r, palette().color(QPalette::Window));
            paintColourTile(p, r.adjusted(0, 0, -1, -1), shown_.tile, palette());
        },
        this);
    list_ = new QListWidget(this);
    list_->setObjectName("ColourList");
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    QFont fixed("Courier New");
    fixed.setStyleHint(QFont::Monospace);
    list_->setFont(fixed);
    message_ = new QLabel(this);
    message_->setObjectName("ColourMessage");
    message_->setWordWrap(true);
    message_->setStyleSheet("color: rgb(160, 0, 0);");
    message_->hide();
}

CColorGraph::~CColorGraph() {
    worker_.stop();
}

void CColorGraph::createButtons() {
    using namespace colour_command;
    const std::array<std::pair<int, const char *>, 7> commands{{{kSetup, "&Setup"},
                                                                {kStopStart, "&Stop"},
                                                                {kDarkScan, "&Dark Scan"},
                                                                {kRefScan, "&Ref Scan"},
                                                                {kExport, "&Export"},
                                                                {kColor, "&Color"},
                                                                {kPrint, "&Print"}}};
    int x = 1;
    for (const auto &[id, caption] : commands) {
        auto *b = new SplitButton(id, caption, this);
        b->setObjectName(QString("command%1").arg(id));
        b->setHasArrow(false);
        b->setGeometry(x, 1, SplitButton::kWidth, SplitButton::kHeight);
        x += SplitButton::kWidth;
        buttons_[id] = b;
        connect(b, &SplitButton::clicked, this, [this, id = id] {
            switch (id) {
            case kSetup:
                openSetupPanel();
                break;
            case kStopStart:
                toggleHold();
                break;
            case kDarkScan:
                emit darkScanRequested();
                break;
            case kRefScan:
                emit referenceScanRequested();
                break;
            case kExport:
                openExportPanel();
                break;
            case kColor:
                openReferencePanel();
                break;
            case kPrint:
                emit printRequested();
                break;
            default:
                break;
            }
        });
    }
    setPrintAvailable(false);
}

void CColorGraph::setPrintAvailable(bool available) {
    buttons_.at(colour_command::kPrint)->setEnabled(available);
}

SplitButton *CColorGraph::button(int command) const {
    const auto found = buttons_.find(command);
    return found == buttons_.end() ? nullptr : found->second;
}

void CColorGraph::activate() {
    if (!setUpGrid()) {
        return;
    }
    // A missing or bad table has been reported; the charts use what the engine holds.
    (void)control_.Colour().LoadColorTable();
    worker_.start(control_.State().settings.priority);
}

void CColorGraph::deactivate() {
    worker_.stop();
}

bool CColorGraph::setUpGrid() {
    const std::string problem = colour_view::setUpColourGrid(control_);
    problem_ = problem.empty()
                   ? QString()
                   : QString::fromStdString("The colour view needs the grid 400-700 nm at 10 nm, "
                                            "which this unit cannot give: " +
                                            problem);
    message_->setText(problem_);
    message_->setVisible(!problem_.isEmpty());
    // Without the grid there is nothing to hold, measure against or export.
    for (const auto &[id, b] : buttons_) {
        if (id != colour_command::kPrint) {
            b->setEnabled(problem_.isEmpty());
        }
    }
    layoutChildren();
    if (!problem_.isEmpty()) {
        control_.Prompt().message(problem_.toStdString());
        return false;
    }
    return true;
}

void CColorGraph::scanStarting(const PassReport &report) {
    if (!report.oneShot) {
        emit statusRefresh(report.memoryMode ? 11 : 1, true);
    }
}

void CColorGraph::scanFinished(const PassReport &report) {
    if (report.oneShot) {
        return;
    }
    emit statusRefresh(1, false);
    ColorCalc &engine = control_.Colour();
    if (engine.Busy() || !engine.ComputeColor()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(snapshotMutex_);
        colour_view::takeSnapshot(engine, control_.State(), latest_);
        ++latestNumber_;
    }
    // The charts show a T/R measurement only; one repaint waits at a time.
    if (control_.State().flags.displayMode() == DisplayMode::TransRefl &&
        !presentQueued_.exchange(true)) {
        QMetaObject::invokeMethod(this, &CColorGraph::present, Qt::QueuedConnection);
    }
}

void CColorGraph::present() {
    presentQueued_.store(false);
    {
        const std::lock_guard<std::mutex> lock(snapshotMutex_);
        // A repaint queued before "&Stop" showed its values finds nothing new.
        if (!latest_.valid || latestNumber_ == shownNumber_) {
            return;
        }
        shown_ = latest_;
        shownNumber_ = latestNumber_;
    }
    ++framesShown_;
    charts_->update();
    tile_->update();
}

colour_view::ColourSnapshot CColorGraph::shownSnapshot() const {
    return shown_;
}

colour_view::ColourChartData CColorGraph::chartData() const {
    return colour_view::chartData(shown_, control_.Colour().LocusTable());
}

void CColorGraph::toggleHold() {
    SplitButton *b = buttons_.at(colour_command::kStopStart);
    if (held_) {
        control_.Hold().ReleaseHold();
        held_ = false;
        b->setText("&Stop");
        return;
    }
    // The list shows the scan the charts show: the last pass has ended.
    (void)control_.Hold().HoldAndWait(); // a worker that did not answer leaves the last values
    held_ = true;
    b->setText("Start");
    present();
    fillList();
}

void CColorGraph::fillList() {
    list_->clear();
    if (!shown_.valid) {
        return;
    }
    for (const std::string &line : colour_view::listLines(shown_)) {
        const colour_view::ListLine parsed = colour_view::parseListLine(line);
        auto *item = new QListWidgetItem(QString::fromStdString(parsed.text), list_);
        item->setForeground(paletteQColor(parsed.foreground));
        item->setBackground(paletteQColor(parsed.background));
    }
}

void CColorGraph::showPanel(PopupPanel *panel, int command) {
    panel_ = panel;
    connect(panel, &PopupPanel::panelClosed, this, [this, panel] {
        panel->deleteLater();
        if (panel_ == panel) {
            panel_.clear();
        }
        charts_->update();
    });
    const SplitButton *b = buttons_.at(command);
    panel->openAt(b->mapToGlobal(QPoint(0, b->height() + 1)));
}

void CColorGraph::openSetupPanel() {
    if (panel_ == nullptr) {
        showPanel(new CColourSetupPanel(control_, this), colour_command::kSetup);
    }
}

void CColorGraph::openReferencePanel() {
    if (panel_ == nullptr) {
        showPanel(new CColourReferencePanel(control_, this), colour_command::kColor);
    }
}

void CColorGraph::openExportPanel() {
    if (panel_ != nullptr) {
        return;
    }
    // The panel's lock stops the worker first: the values it writes are the last pass's.
    auto *ready = new CColourExportPanel(control_, this);
    {
        const std::lock_guard<std::mutex> lock(snapshotMutex_);
        ready->setSnapshot(latest_);
    }
    connect(ready, &CColourExportPanel::exported, this, &CColorGraph::colourExported);
    showPanel(ready, colour_command::kExport);
}

void CColorGraph::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    layoutChildren();
}

void CColorGraph::layoutChildren() {
    const int width = this->width();
    int top = kBandHeight;
    if (message_->isVisible()) {
        message_->setGeometry(kMargin, top + 4, width - 2 * kMargin, 40);
        top += 48;
    }
    const int remaining = std::max(height() - top, 100);
    // The charts are three squares side by side: more height than a third
    // of the width would stay empty.
    const int chartHeight = std::min(remaining * 62 / 100, width * 34 / 100);
    charts_->setGeometry(0, top, width, chartHeight);
    const int bottomTop = top + chartHeight + kMargin;
    const int bottomHeight = std::max(height() - bottomTop - kMargin, 40);
    const int tileSide = std::min(bottomHeight, 180);
    tile_->setGeometry(kMargin, bottomTop, tileSide, tileSide);
    list_->setGeometry(2 * kMargin + tileSide, bottomTop, width - 3 * kMargin - tileSide,
                       bottomHeight);
}

void CColorGraph::paintEvent(QPaintEvent *event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), kBandHeight), palette().color(QPalette::Button));
}

} // namespace quillon
