// SPDX-License-Identifier: GPL-3.0-or-later
// The alert coverage commands of the main window: the county windows, which
// live (hidden) for the whole run as children of the main window, and the
// event window, which is rebuilt each time it opens.
#include "coverage/gui/CoverageCommands.h"

#include "base/Services.h"
#include "config/core/ReceiverSetup.h"
#include "coverage/core/EventCatalog.h"
#include "coverage/core/CoverageLocation.h"
#include "coverage/gui/frmCoverageUpdate.h"
#include "coverage/gui/frmEnterFIP.h"
#include "coverage/gui/frmEvent.h"
#include "coverage/gui/frmFIPS.h"
#include "coverage/gui/CountyMapView.h"

#include "config/core/OptionSummary.h"
#include "coverage/core/CoverageSheet.h"

#include <QComboBox>
#include <QLocale>
#include <QPrinter>
#include <QPrinterInfo>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QStandardPaths>
#include <QLayout>
#include <QWidget>

namespace {

// The county and transmitter windows, made on first use.
frmFIPS *coverageWindows(Services &services, ReceiverSetup &setup, QWidget *mainWindow, bool *created = nullptr)
{
    if (created)
        *created = false;
    if (!mainWindow)
        return nullptr;
    auto *fips = mainWindow->findChild<frmFIPS *>(QStringLiteral("frmFIPS"));
    if (fips)
        return fips;
    fips = new frmFIPS(services, setup, mainWindow);
    // The transmitter window opens over the county window, so it is the
    // county window's child; findChild from the main window still finds it.
    auto *enter = new frmEnterFIP(services, setup, fips, fips);
    fips->setTransmitterWindow(enter);
    if (created)
        *created = true;
    return fips;
}

} // namespace

namespace CoverageCommands {

void prepareCoverageWindows(Services &services, ReceiverSetup &setup, QWidget *mainWindow)
{
    frmFIPS *fips = coverageWindows(services, setup, mainWindow);
    if (!fips)
        return;
    auto *enter = mainWindow->findChild<frmEnterFIP *>(QStringLiteral("frmEnterFIP"));

    // 8. The state and frequency lists.
    enter->FillStateList();
    enter->FillFrequencyList();
    // 9. Preset both boxes; a stored value outside the lists leaves a box blank.
    auto *cmbLimit = enter->findChild<QComboBox *>(QStringLiteral("cmbLimit"));
    auto *cmbState = enter->findChild<QComboBox *>(QStringLiteral("cmbState"));
    const int filter = setup.config.FrequencyListingFilter;
    cmbLimit->setCurrentIndex(filter >= 0 && filter < cmbLimit->count() ? filter : -1);
    const int state = setup.config.StateID;
    cmbState->setCurrentIndex(state >= 0 && state < cmbState->count() ? state : -1);
    // 10.
    fips->setStateCaption(cmbState->currentText());
    fips->setTransmitterCaption(setup.config.TransmitterLocation);
    // 11. The stored state's transmitters.
    enter->LoadStateFile(state);
    // 12. Highlight the stored transmitter, so that OK without a new choice
    // confirms the one in use.
    enter->highlightTransmitter(setup.config.TransmitterLocation);
    // 13. The county list from FipEntries.
    fips->fillFromFipEntries();
    // A stored transmitter the listing no longer has is marked in both.
    const SetupCheck::Report report = checkSetup(services, setup);
    fips->setSetupCheck(report);
    enter->setSetupCheck(report);
}

SetupCheck::Report checkSetup(const Services &services, const ReceiverSetup &setup)
{
    EventCatalog catalog;
    InitEventCatalog(catalog);
    return SetupCheck::checkFolder(services.statesFolder, setup, catalog);
}

void openFips(Services &services, ReceiverSetup &setup, QWidget *parent)
{
    bool created = false;
    frmFIPS *fips = coverageWindows(services, setup, parent, &created);
    if (!fips)
        return;
    if (created)
        prepareCoverageWindows(services, setup, parent);
    fips->exec();
}

void saveMapAs(Services &services, ReceiverSetup &setup, QWidget *mainWindow)
{
    bool created = false;
    frmFIPS *fips = coverageWindows(services, setup, mainWindow, &created);
    if (!fips)
        return;
    if (created)
        prepareCoverageWindows(services, setup, mainWindow);
    fips->prepareMap();
    // A window never shown has not been laid out: give the map the size it
    // has when the window opens (the window has its first size already).
    if (!fips->isVisible()) {
        fips->ensurePolished();
        if (fips->layout())
            fips->layout()->activate();
        fips->countyMap()->fit();
    }
    fips->cmdSaveMap_Click();
}

bool printCoveragePage(Services &services, const ReceiverSetup &setup, const EventCatalog &catalog, QPrinter &printer,
                       QString *why)
{
    printer.setDocName(QStringLiteral("NX-4400C Coverage"));
    CoverageSheet::Source source;
    source.statesFolder = services.statesFolder;
    source.listing = coverageInUse(services);
    source.made = services.clock().date();
    source.stateId = setup.config.StateID;
    source.transmitter = setup.config.TransmitterLocation;
    source.fipEntries = setup.FipEntries;
    source.eventSelection = setup.EventSelection;
    source.options = optionSummary(setup.config);
    source.catalog = &catalog;
    // A printer has its paper; a PDF file gets the locale's, as the
    // command-line tool gives it.
    if (printer.outputFormat() == QPrinter::PdfFormat)
        source.paper = CoverageSheet::defaultPaper(QLocale());
    return CoverageSheet::printSetup(printer, source, why);
}

void printCoverage(Services &services, const ReceiverSetup &setup, const EventCatalog &catalog)
{
    const QString title = QStringLiteral("Print Coverage");
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    QString why;
    if (!info.isNull()) {
        if (services.prompter().ask(title, QStringLiteral("Print the coverage page on %1?").arg(info.printerName()),
                                    Prompter::Icon::Question, Prompter::Buttons::OkCancel)
            != Prompter::Button::Ok)
            return;
        QPrinter printer(info, QPrinter::HighResolution);
        if (printCoveragePage(services, setup, catalog, printer, &why))
            services.view().setStatusText(QStringLiteral("Left"),
                                          QStringLiteral("Coverage page sent to printer %1").arg(info.printerName()));
        else
            services.prompter().ask(title, QStringLiteral("Printing on %1 failed: %2").arg(info.printerName(), why),
                                    Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
        return;
    }
    // No printer set up: the same page into a PDF file.
    Prompter::SaveRequest request;
    request.title = title;
    request.directory = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    request.fileName = QStringLiteral("coverage.pdf");
    request.filter = QStringLiteral("PDF document (*.pdf)");
    QString path = services.prompter().saveFileName(request);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    if (printCoveragePage(services, setup, catalog, printer, &why))
        services.view().setStatusText(QStringLiteral("Left"),
                                      QStringLiteral("Coverage page saved to %1").arg(QDir::toNativeSeparators(path)));
    else
        services.prompter().ask(title, QStringLiteral("The coverage page could not be saved to %1: %2")
                                           .arg(QDir::toNativeSeparators(path), why),
                                Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

void openEvents(Services &services, ReceiverSetup &setup, const EventCatalog &catalog, QWidget *parent)
{
    frmEvent window(services, setup, catalog, parent);
    window.exec();
}

bool updateCoverage(Services &services, ReceiverSetup &setup, QWidget *mainWindow, const QString &given)
{
    QString file = given;
    if (file.isEmpty()) {
        // The downloads folder where there is one; a folder that does not
        // exist would be put in the name field as if it were the file.
        QString start = QDir::homePath();
        for (const auto where : {QStandardPaths::DownloadLocation, QStandardPaths::DocumentsLocation}) {
            const QString folder = QStandardPaths::writableLocation(where);
            if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
                start = folder;
                break;
            }
        }
        file = QFileDialog::getOpenFileName(mainWindow, QStringLiteral("NOAA County Coverage Listing"), start,
                                            QStringLiteral("Coverage listings (*.js *.csv *.txt);;All files (*)"));
        if (file.isEmpty())
            return false;
    }
    CoverageImport::Result r = CoverageImport::importFile(file, services.statesFolder);
    CoverageChanges::Summary summary;
    SetupCheck::Report check;
    if (!r.refused) {
        const CoverageChanges::Side after{r.stateLines, r.transmitters};
        summary = CoverageChanges::compare(CoverageChanges::sideOf(services.statesFolder), after);
        EventCatalog catalog;
        InitEventCatalog(catalog);
        check = SetupCheck::check(after, setup, catalog);
    }
    frmCoverageUpdate window(r, summary, check, mainWindow);
    if (window.exec() != QDialog::Accepted || r.refused)
        return false;
    r.info.imported = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    const QString target = CoverageLocation::overrideFolder(services.coverageDataFolder);
    QString why;
    if (target.isEmpty() || !CoverageImport::replaceFolder(r, target, &why)) {
        services.prompter().ask(QStringLiteral("NX-4400C Update Coverage"),
                                QStringLiteral("The listing was not applied; nothing was changed.\n%1")
                                    .arg(target.isEmpty() ? QStringLiteral("There is no data folder for it.") : why),
                                Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
        return false;
    }
    services.statesFolder = target;
    // The transmitter list and the county lists are read again from the new
    // files; the stored choice stays as it is (the summary said whether it
    // still stands).
    if (mainWindow && mainWindow->findChild<frmFIPS *>(QStringLiteral("frmFIPS")))
        prepareCoverageWindows(services, setup, mainWindow);
    services.view().setStatusText(QStringLiteral("Left"), QStringLiteral("Coverage updated from %1").arg(r.info.name));
    return true;
}

bool revertCoverage(Services &services, ReceiverSetup &setup, QWidget *mainWindow)
{
    const QString target = CoverageLocation::overrideFolder(services.coverageDataFolder);
    const QString shipped = services.shippedStatesFolder.isEmpty() ? services.statesFolder : services.shippedStatesFolder;
    if (target.isEmpty() || (!QFileInfo::exists(target) && !QFileInfo(target).isSymLink())) {
        services.prompter().ask(QStringLiteral("NX-4400C Update Coverage"),
                                QStringLiteral("The shipped coverage is in use already."), Prompter::Icon::Information,
                                Prompter::Buttons::Ok);
        services.statesFolder = shipped;
        return true;
    }
    if (services.prompter().ask(QStringLiteral("NX-4400C Update Coverage"),
                                QStringLiteral("Remove the imported coverage listing and use the one shipped with the "
                                               "program (NOAA, August 2018)?"),
                                Prompter::Icon::Question, Prompter::Buttons::YesNo)
        != Prompter::Button::Yes)
        return false;
    QString why;
    if (!CoverageImport::removeFolder(target, &why)) {
        services.prompter().ask(QStringLiteral("NX-4400C Update Coverage"), why, Prompter::Icon::Exclamation,
                                Prompter::Buttons::Ok);
        return false;
    }
    services.statesFolder = shipped;
    if (mainWindow && mainWindow->findChild<frmFIPS *>(QStringLiteral("frmFIPS")))
        prepareCoverageWindows(services, setup, mainWindow);
    services.view().setStatusText(QStringLiteral("Left"), QStringLiteral("Shipped coverage restored"));
    return true;
}

QString coverageInUse(const Services &services)
{
    const QString shipped = services.shippedStatesFolder.isEmpty() ? services.statesFolder : services.shippedStatesFolder;
    const CoverageLocation::InUse use = CoverageLocation::inUse(services.statesFolder, shipped, services.coverageDataFolder);
    return use.problem.isEmpty() ? use.describe() : use.describe() + QStringLiteral(" - ") + use.problem;
}

} // namespace CoverageCommands
