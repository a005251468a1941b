#pragma once

// The survey as the operator's tools see it afterwards: tvdtool run as a process, and its CSV
// export read back level by level.
#include <QFile>
#include <QMap>
#include <QPair>
#include <QProcess>
#include <QStringList>
#include <QVector>

struct _toolrun {
  int nExit = -1; // -1: it did not end normally within the time given
  QString strOut;
  QString strErr;
};

// Runs the built tvdtool with args and waits (bounded) for it to end.
inline _toolrun RunTvdtool(const QStringList &args) {
  QProcess process;
  process.start(QStringLiteral(TARVEX_TVDTOOL), args);
  _toolrun run;
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.nExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.strOut = QString::fromUtf8(process.readAllStandardOutput());
  run.strErr = QString::fromUtf8(process.readAllStandardError());
  return run;
}

// One channel of one segment as the export placed it: its levels by index, the count each row
// gave, and the frequencies its rows named.
struct _exportedchannel {
  QVector<int> levels;
  QVector<int> counts;
  QStringList frequencies;
};

// The rows of a CSV export, by (segment, channel). Empty, with strProblem set, when the file
// cannot be read or lacks a column.
inline QMap<QPair<int, int>, _exportedchannel> ReadExport(const QString &strPath, QString &strProblem) {
  QMap<QPair<int, int>, _exportedchannel> exported;
  QFile file(strPath);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    strProblem = strPath + QStringLiteral(": ") + file.errorString();
    return exported;
  }
  const QStringList header = QString::fromUtf8(file.readLine()).trimmed().split(QLatin1Char(','));
  const QStringList wanted = {QStringLiteral("segment"), QStringLiteral("channel"),       QStringLiteral("index"),
                              QStringLiteral("count"),   QStringLiteral("frequency_mhz"), QStringLiteral("level")};
  QVector<qsizetype> column;
  for (const QString &strName : wanted) {
    column.append(header.indexOf(strName));
    if (column.back() < 0) {
      strProblem = QStringLiteral("no column %1 in %2").arg(strName, header.join(QLatin1Char(',')));
      return {};
    }
  }
  while (!file.atEnd()) {
    const QStringList fields = QString::fromUtf8(file.readLine()).trimmed().split(QLatin1Char(','));
    if (fields.size() < header.size() - 1) {
      strProblem = QStringLiteral("short row: ") + fields.join(QLatin1Char(','));
      return {};
    }
    _exportedchannel &channel = exported[{fields[column[0]].toInt(), fields[column[1]].toInt()}];
    if (fields[column[2]].toInt() != channel.levels.size()) {
      strProblem = QStringLiteral("row out of order: ") + fields.join(QLatin1Char(','));
      return {};
    }
    channel.counts.append(fields[column[3]].toInt());
    channel.frequencies.append(fields[column[4]]);
    channel.levels.append(fields[column[5]].toInt());
  }
  return exported;
}
