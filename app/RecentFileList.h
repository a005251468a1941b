#pragma once

#include <QString>
#include <QStringList>

// The most recently opened files, newest first, kept in the user's settings under the
// organisation and application given, group "Recent File List", keys File1, File2, ...
class CRecentFileList {
public:
  static constexpr int RECENT_FILE_COUNT = 4;

  // Reads the list. Entries beyond nSize and empty or repeated entries are dropped.
  CRecentFileList(QString strOrganisation, QString strApplication, int nSize = RECENT_FILE_COUNT);

  // Puts the file at the top, as an absolute path, removing an older entry of the same file
  // and the oldest entry when the list is full; saves the list.
  void Add(const QString &strPath);
  // Removes entry nIndex (0 is the newest), if there is one; saves the list.
  void Remove(int nIndex);

  const QStringList &Files() const { return m_files; }
  int Size() const { return m_nSize; }

private:
  void Save() const;

  QString m_strOrganisation;
  QString m_strApplication;
  int m_nSize;
  QStringList m_files;
};
