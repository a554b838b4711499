#include "dialogs/customize_sheet.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include <array>
#include <utility>

namespace quillon {

namespace {

struct Field {
    const char *label;
    std::string PrintPageTexts::*text;
};

constexpr std::array<Field, 3> kHeaderFields{{
    {"Organization", &PrintPageTexts::organization},
    {"Operator", &PrintPageTexts::operatorName},
    {"Sample", &PrintPageTexts::sample},
}};

constexpr std::array<Field, 6> kUnitFields{{
    {"Slit Size(micron)", &PrintPageTexts::slit},
    {"Grating(g/mm)", &PrintPageTexts::grating},
    {"Filter", &PrintPageTexts::filter},
    {"CCD Type", &PrintPageTexts::ccd},
    {"I/O Board", &PrintPageTexts::ioBoard},
    {"Board Serial No.", &PrintPageTexts::boardSerial},
}};

// A page of labelled boxes, filled from `texts` when the file could be read.
template <std::size_t N>
QWidget *makePage(const std::array<Field, N> &fields, const std::array<QLineEdit **, N> &boxes,
                  const std::optional<PrintPageTexts> &texts, QWidget *parent) {
    auto *page = new QWidget(parent);
    auto *form = new QFormLayout(page);
    for (std::size_t i = 0; i < N; ++i) {
        auto *box = new QLineEdit(page);
        box->setMinimumWidth(240);
        if (texts) {
            box->setText(QString::fromStdString((*texts).*fields[i].text));
        }
        form->addRow(fields[i].label, box);
        *boxes[i] = box;
    }
    return page;
}

template <std::size_t N>
void takeTexts(const std::array<Field, N> &fields, const std::array<QLineEdit *, N> &boxes,
               PrintPageTexts &texts) {
    for (std::size_t i = 0; i < N; ++i) {
        texts.*fields[i].text = boxes[i]->text().toStdString();
    }
}

} // namespace

CCustomizeSheet::CCustomizeSheet(DataControl &control, bool factoryForm, QWidget *parent)
    : QDialog(parent), control_(control) {
    setObjectName("CustomizeSheet");
    setWindowTitle("Customize...");
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    layout->addWidget(tabs_);

    groups_.push_back(PrintPageGroup::Header);
    QWidget *header = makePage(kHeaderFields, {&organization_, &operator_, &sample_},
                               control_.ReadPrintPage(PrintPageGroup::Header), tabs_);
    header->setObjectName(QString::number(kHeaderPageId));
    tabs_->addTab(header, "Set Print Page ");
    if (factoryForm) {
        groups_.push_back(PrintPageGroup::UnitInformation);
        QWidget *unit =
            makePage(kUnitFields, {&slit_, &grating_, &filter_, &ccd_, &ioBoard_, &boardSerial_},
                     control_.ReadPrintPage(PrintPageGroup::UnitInformation), tabs_);
        unit->setObjectName(QString::number(kUnitPageId));
        tabs_->addTab(unit, "Unit Information");
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCustomizeSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCustomizeSheet::reject);
    layout->addWidget(buttons);
}

void CCustomizeSheet::accept() {
    PrintPageTexts texts;
    takeTexts(kHeaderFields, {organization_, operator_, sample_}, texts);
    if (slit_ != nullptr) {
        takeTexts(kUnitFields, {slit_, grating_, filter_, ccd_, ioBoard_, boardSerial_}, texts);
    }
    if (control_.WritePrintPage(texts, groups_)) {
        QDialog::accept();
    }
}

} // namespace quillon
