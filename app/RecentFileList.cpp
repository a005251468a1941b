#include "app/RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <utility>

namespace {

const char *const SETTINGS_GROUP = "Recent File List";

QString EntryKey(int nIndex) { return QStringLiteral("File%1").arg(nIndex + 1); }

QString Normalised(const QString &strPath) { return QDir::cleanPath(QFileInfo(strPath).absoluteFilePath()); }

} // namespace

CRecentFileList::CRecentFileList(QString strOrganisation, QString strApplication, int nSize)
    : m_strOrganisation(std::move(strOrganisation)), m_strApplication(std::move(strApplication)), m_nSize(nSize) {
  QSettings settings(m_strOrganisation, m_strApplication);
  settings.beginGroup(QLatin1String(SETTINGS_GROUP));
  for (int i = 0; i < m_nSize; ++i) {
    const QString strPath = settings.value(EntryKey(i)).toString();
    if (!strPath.isEmpty() && !m_files.contains(strPath)) {
      m_files.append(strPath);
    }
  }
}

void CRecentFileList::Add(const QString &strPath) {
  const QString strEntry = Normalised(strPath);
  m_files.removeAll(strEntry);
  m_files.prepend(strEntry);
  while (m_files.size() > m_nSize) {
    m_files.removeLast();
  }
  Save();
}

void CRecentFileList::Remove(int nIndex) {
  if (nIndex < 0 || nIndex >= m_files.size()) {
    return;
  }
  m_files.removeAt(nIndex);
  Save();
}

void CRecentFileList::Save() const {
  QSettings settings(m_strOrganisation, m_strApplication);
  settings.beginGroup(QLatin1String(SETTINGS_GROUP));
  for (int i = 0; i < m_nSize; ++i) {
    if (i < m_files.size()) {
      settings.setValue(EntryKey(i), m_files.at(i));
    } else {
      settings.remove(EntryKey(i));
    }
  }
}
