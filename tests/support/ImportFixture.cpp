#include "support/ImportFixture.h"

#include "database/PostgreSQL.h"
#include "database/TableList.h"
#include "shell/ApplicationError.h"

ImportChoices ImportFixture::create(const QStringList& files, const QString& nameTemplate) const {
    ImportChoices choices;
    choices.files = files;
    choices.mode = ImportChoices::TableMode::Create;
    choices.names = ImportChoices::ColumnNames::FirstLine;
    choices.tableTemplate = nameTemplate;
    choices.separator = QStringLiteral(",");
    choices.existingTables = tables();
    choices.connection = m_db.settings();
    return choices;
}

ImportChoices ImportFixture::append(const QStringList& files, const QString& table) const {
    ImportChoices choices = create(files);
    choices.mode = ImportChoices::TableMode::Append;
    choices.selectedTable = static_cast<int>(choices.existingTables.indexOf(table));
    return choices;
}

QStringList ImportFixture::tables() const {
    StringTableList list;
    ListDatabaseTables(m_db.settings(), list);
    return list.names;
}

void ImportFixture::dropAll() const {
    m_db.execute(QStringLiteral("DROP SCHEMA public CASCADE; CREATE SCHEMA public"));
}

QString ImportFixture::error(int step, const QString& description) {
    return applicationErrorText(Context, step, description);
}
