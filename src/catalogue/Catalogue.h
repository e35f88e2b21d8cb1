#pragma once
// Whole-catalogue helpers for tools (the catalogue maker, the device simulator, the
// command-line companion): read a model's rows deciphered, and build a catalogue file from
// its readable CSV source.
//
// CSV source: UTF-8 (BOM allowed), comma-separated, RFC 4180 quoting (a field holding a comma,
// a quote or a line break is enclosed in double quotes; a quote inside is doubled). The first
// non-comment row names the columns, in any order:
//   id,device,command,group,group_caption,caption,register,type,min,max,decimal,readonly,
//   hint,default,combo,writecmd
// `caption` and `register` are plain text here; the build enciphers them. An empty cell is
// NULL. A row whose first cell begins with "#" is a comment; blank rows are skipped.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

#include "config/DeviceRules.h"

namespace kolva {

// One row of the table `settings`, caption and register deciphered.
struct TCatalogueRow {
    qint64 id = 0;
    QString device;
    int command = 0;
    int group = 0;
    QString groupCaption;
    bool groupCaptionNull = false;
    QString caption;
    int registerNo = 0;
    QString type;
    int min = 0;
    int max = 0;
    int decimal = 0;
    std::optional<int> readonly; // NULL: shown editable, never written
    QString hint;
    QString defaultValue;
    QString combo;
    std::optional<int> writecmd; // NULL also when the column is missing

    // Registers the setting spans (by its type and max).
    int RegisterCount() const;
};

// RegisterCount(type, max) is in config/DeviceRules.h.

// Every row of `model` (settings and commands) in the order group, id. On failure (file
// missing, not a catalogue, a register that is not a whole number) returns an empty list
// and sets `error`. The file is opened read-only; no password is asked.
QList<TCatalogueRow> ReadModelRows(const QString& dbPath, const QString& model,
                                   QString* error = nullptr);
// Every row of the catalogue, ordered by device, group, id.
QList<TCatalogueRow> ReadAllRows(const QString& dbPath, QString* error = nullptr);
// The model list (distinct device, ordered).
QStringList ReadModels(const QString& dbPath, QString* error = nullptr);

// Builds a catalogue file from CSV text. Checks every row (ids unique, numbers where numbers
// belong, known types, registers of a model's settings not overlapping each other or the
// model's store-command register). `withWritecmd` false leaves the column out (for the
// start-up migration to add). Replaces `outPath`. False with `error` set on failure, in which
// case `outPath` is left as it was.
bool BuildCatalogue(const QByteArray& csv, const QString& outPath, const QString& password,
                    bool withWritecmd, QString* error);

// CSV source of a model "BENCH-<n>" with n settings of every type, for benchmarks.
QByteArray GenerateBenchCsv(int n);

// The columns of the CSV source, in their usual order.
QStringList CsvColumns();

} // namespace kolva
