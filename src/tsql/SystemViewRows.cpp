#include "tsql/SystemViewRows.h"

#include "tsql/SystemViewValues.h"

namespace tsql::sysview {

namespace {

const SqlType kChar2{Base::Char, 2};
const SqlType kMax = SqlType::nvarchar(-1);

std::vector<ColumnDef> operator+(std::vector<ColumnDef> a, const std::vector<ColumnDef> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The columns every view over sys.objects starts with.
const std::vector<ColumnDef> &objectColumns()
{
    static const std::vector<ColumnDef> columns = {
        {"name", kName}, {"object_id", kInt}, {"principal_id", kInt}, {"schema_id", kInt}, {"parent_object_id", kInt},
        {"type", kChar2}, {"type_desc", kDesc}, {"create_date", kDate}, {"modify_date", kDate},
        {"is_ms_shipped", kBit}, {"is_published", kBit}, {"is_schema_published", kBit},
    };
    return columns;
}

const std::vector<ColumnDef> &columnColumns()
{
    static const std::vector<ColumnDef> columns = {
        {"object_id", kInt}, {"name", kName}, {"column_id", kInt}, {"system_type_id", kTiny}, {"user_type_id", kInt},
        {"max_length", kSmall}, {"precision", kTiny}, {"scale", kTiny}, {"collation_name", kName},
        {"is_nullable", kBit}, {"is_ansi_padded", kBit}, {"is_rowguidcol", kBit}, {"is_identity", kBit},
        {"is_computed", kBit}, {"is_filestream", kBit}, {"is_replicated", kBit}, {"is_non_sql_subscribed", kBit},
        {"is_merge_published", kBit}, {"is_dts_replicated", kBit}, {"is_xml_document", kBit},
        {"xml_collection_id", kInt}, {"default_object_id", kInt}, {"rule_object_id", kInt}, {"is_sparse", kBit},
        {"is_column_set", kBit}, {"generated_always_type", kTiny}, {"generated_always_type_desc", kDesc},
    };
    return columns;
}

} // namespace

const std::vector<Definition> &all()
{
    static const std::vector<Definition> views = {
        {"INFORMATION_SCHEMA", "TABLES",
         {{"TABLE_CATALOG", kName}, {"TABLE_SCHEMA", kName}, {"TABLE_NAME", kName}, {"TABLE_TYPE", SqlType::varchar(10)}},
         informationTables},
        {"INFORMATION_SCHEMA", "COLUMNS",
         {{"TABLE_CATALOG", kName}, {"TABLE_SCHEMA", kName}, {"TABLE_NAME", kName}, {"COLUMN_NAME", kName},
          {"ORDINAL_POSITION", kInt}, {"COLUMN_DEFAULT", SqlType::nvarchar(4000)}, {"IS_NULLABLE", SqlType::varchar(3)},
          {"DATA_TYPE", kName}, {"CHARACTER_MAXIMUM_LENGTH", kInt}, {"CHARACTER_OCTET_LENGTH", kInt},
          {"NUMERIC_PRECISION", kTiny}, {"NUMERIC_PRECISION_RADIX", kSmall}, {"NUMERIC_SCALE", kInt},
          {"DATETIME_PRECISION", kSmall}, {"CHARACTER_SET_CATALOG", kName}, {"CHARACTER_SET_SCHEMA", kName},
          {"CHARACTER_SET_NAME", kName}, {"COLLATION_CATALOG", kName}, {"COLLATION_SCHEMA", kName},
          {"COLLATION_NAME", kName}, {"DOMAIN_CATALOG", kName}, {"DOMAIN_SCHEMA", kName}, {"DOMAIN_NAME", kName}},
         informationColumns},
        {"INFORMATION_SCHEMA", "VIEWS",
         {{"TABLE_CATALOG", kName}, {"TABLE_SCHEMA", kName}, {"TABLE_NAME", kName},
          {"VIEW_DEFINITION", SqlType::nvarchar(4000)}, {"CHECK_OPTION", SqlType::varchar(7)},
          {"IS_UPDATABLE", SqlType::varchar(2)}},
         informationViews},
        {"INFORMATION_SCHEMA", "SCHEMATA",
         {{"CATALOG_NAME", kName}, {"SCHEMA_NAME", kName}, {"SCHEMA_OWNER", kName},
          {"DEFAULT_CHARACTER_SET_CATALOG", kName}, {"DEFAULT_CHARACTER_SET_SCHEMA", kName},
          {"DEFAULT_CHARACTER_SET_NAME", kName}},
         informationSchemata},
        {"INFORMATION_SCHEMA", "TABLE_CONSTRAINTS",
         {{"CONSTRAINT_CATALOG", kName}, {"CONSTRAINT_SCHEMA", kName}, {"CONSTRAINT_NAME", kName},
          {"TABLE_CATALOG", kName}, {"TABLE_SCHEMA", kName}, {"TABLE_NAME", kName},
          {"CONSTRAINT_TYPE", SqlType::varchar(11)}, {"IS_DEFERRABLE", SqlType::varchar(2)},
          {"INITIALLY_DEFERRED", SqlType::varchar(2)}},
         informationTableConstraints},
        {"INFORMATION_SCHEMA", "KEY_COLUMN_USAGE",
         {{"CONSTRAINT_CATALOG", kName}, {"CONSTRAINT_SCHEMA", kName}, {"CONSTRAINT_NAME", kName},
          {"TABLE_CATALOG", kName}, {"TABLE_SCHEMA", kName}, {"TABLE_NAME", kName}, {"COLUMN_NAME", kName},
          {"ORDINAL_POSITION", kInt}},
         informationKeyColumnUsage},
        {"INFORMATION_SCHEMA", "CHECK_CONSTRAINTS",
         {{"CONSTRAINT_CATALOG", kName}, {"CONSTRAINT_SCHEMA", kName}, {"CONSTRAINT_NAME", kName},
          {"CHECK_CLAUSE", SqlType::nvarchar(4000)}},
         informationCheckConstraints},
        {"INFORMATION_SCHEMA", "REFERENTIAL_CONSTRAINTS",
         {{"CONSTRAINT_CATALOG", kName}, {"CONSTRAINT_SCHEMA", kName}, {"CONSTRAINT_NAME", kName},
          {"UNIQUE_CONSTRAINT_CATALOG", kName}, {"UNIQUE_CONSTRAINT_SCHEMA", kName}, {"UNIQUE_CONSTRAINT_NAME", kName},
          {"MATCH_OPTION", SqlType::varchar(7)}, {"UPDATE_RULE", SqlType::varchar(11)},
          {"DELETE_RULE", SqlType::varchar(11)}},
         informationReferentialConstraints},
        {"sys", "objects", objectColumns(), sysObjects},
        {"sys", "tables",
         objectColumns() + std::vector<ColumnDef>{
             {"lob_data_space_id", kInt}, {"filestream_data_space_id", kInt}, {"max_column_id_used", kInt},
             {"lock_on_bulk_load", kBit}, {"uses_ansi_nulls", kBit}, {"is_replicated", kBit},
             {"has_replication_filter", kBit}, {"is_merge_published", kBit}, {"is_sync_tran_subscribed", kBit},
             {"has_unchecked_assembly_data", kBit}, {"text_in_row_limit", kInt},
             {"large_value_types_out_of_row", kBit}, {"is_tracked_by_cdc", kBit}, {"lock_escalation", kTiny},
             {"lock_escalation_desc", kDesc}, {"is_filetable", kBit}, {"is_memory_optimized", kBit},
             {"durability", kTiny}, {"durability_desc", kDesc}, {"temporal_type", kTiny},
             {"temporal_type_desc", kDesc}, {"history_table_id", kInt}, {"is_remote_data_archive_enabled", kBit},
             {"is_external", kBit}},
         sysTables},
        {"sys", "views",
         objectColumns() + std::vector<ColumnDef>{
             {"is_replicated", kBit}, {"has_replication_filter", kBit}, {"has_opaque_metadata", kBit},
             {"has_unchecked_assembly_data", kBit}, {"with_check_option", kBit}, {"is_date_correlation_view", kBit},
             {"is_tracked_by_cdc", kBit}},
         sysViews},
        {"sys", "key_constraints",
         objectColumns() + std::vector<ColumnDef>{{"unique_index_id", kInt}, {"is_system_named", kBit}, {"is_enforced", kBit}},
         sysKeyConstraints},
        {"sys", "check_constraints",
         objectColumns() + std::vector<ColumnDef>{
             {"is_disabled", kBit}, {"is_not_for_replication", kBit}, {"is_not_trusted", kBit},
             {"parent_column_id", kInt}, {"definition", kMax}, {"uses_database_collation", kBit},
             {"is_system_named", kBit}},
         sysCheckConstraints},
        {"sys", "default_constraints",
         objectColumns() + std::vector<ColumnDef>{{"parent_column_id", kInt}, {"definition", kMax}, {"is_system_named", kBit}},
         sysDefaultConstraints},
        {"sys", "foreign_keys",
         objectColumns() + std::vector<ColumnDef>{
             {"referenced_object_id", kInt}, {"key_index_id", kInt}, {"is_disabled", kBit},
             {"is_not_for_replication", kBit}, {"is_not_trusted", kBit}, {"delete_referential_action", kTiny},
             {"delete_referential_action_desc", kDesc}, {"update_referential_action", kTiny},
             {"update_referential_action_desc", kDesc}, {"is_system_named", kBit}},
         sysForeignKeys},
        {"sys", "foreign_key_columns",
         {{"constraint_object_id", kInt}, {"constraint_column_id", kInt}, {"parent_object_id", kInt},
          {"parent_column_id", kInt}, {"referenced_object_id", kInt}, {"referenced_column_id", kInt}},
         sysForeignKeyColumns},
        {"sys", "columns", columnColumns(), sysColumns},
        {"sys", "identity_columns",
         columnColumns() + std::vector<ColumnDef>{{"seed_value", kVariant}, {"increment_value", kVariant},
                                                  {"last_value", kVariant}, {"is_not_for_replication", kBit}},
         sysIdentityColumns},
        {"sys", "indexes",
         {{"object_id", kInt}, {"name", kName}, {"index_id", kInt}, {"type", kTiny}, {"type_desc", kDesc},
          {"is_unique", kBit}, {"data_space_id", kInt}, {"ignore_dup_key", kBit}, {"is_primary_key", kBit},
          {"is_unique_constraint", kBit}, {"fill_factor", kTiny}, {"is_padded", kBit}, {"is_disabled", kBit},
          {"is_hypothetical", kBit}, {"is_ignored_in_optimization", kBit}, {"allow_row_locks", kBit},
          {"allow_page_locks", kBit}, {"has_filter", kBit}, {"filter_definition", kMax}, {"compression_delay", kInt},
          {"suppress_dup_key_messages", kBit}, {"auto_created", kBit}, {"optimize_for_sequential_key", kBit}},
         sysIndexes},
        {"sys", "index_columns",
         {{"object_id", kInt}, {"index_id", kInt}, {"index_column_id", kInt}, {"column_id", kInt},
          {"key_ordinal", kTiny}, {"partition_ordinal", kTiny}, {"is_descending_key", kBit},
          {"is_included_column", kBit}, {"column_store_order_ordinal", kTiny}},
         sysIndexColumns},
        {"sys", "schemas", {{"name", kName}, {"schema_id", kInt}, {"principal_id", kInt}}, sysSchemas},
        {"sys", "types",
         {{"name", kName}, {"system_type_id", kTiny}, {"user_type_id", kInt}, {"schema_id", kInt},
          {"principal_id", kInt}, {"max_length", kSmall}, {"precision", kTiny}, {"scale", kTiny},
          {"collation_name", kName}, {"is_nullable", kBit}, {"is_user_defined", kBit}, {"is_assembly_type", kBit},
          {"default_object_id", kInt}, {"rule_object_id", kInt}, {"is_table_type", kBit}},
         sysTypes},
        {"sys", "databases",
         {{"name", kName}, {"database_id", kInt}, {"source_database_id", kInt},
          {"owner_sid", SqlType{Base::VarBinary, 85}}, {"create_date", kDate}, {"compatibility_level", kTiny},
          {"collation_name", kName}, {"user_access", kTiny}, {"user_access_desc", kDesc}, {"is_read_only", kBit},
          {"is_auto_close_on", kBit}, {"is_auto_shrink_on", kBit}, {"state", kTiny}, {"state_desc", kDesc},
          {"is_in_standby", kBit}, {"is_cleanly_shutdown", kBit}, {"is_supplemental_logging_enabled", kBit},
          {"snapshot_isolation_state", kTiny}, {"snapshot_isolation_state_desc", kDesc},
          {"is_read_committed_snapshot_on", kBit}, {"recovery_model", kTiny}, {"recovery_model_desc", kDesc},
          {"page_verify_option", kTiny}, {"page_verify_option_desc", kDesc}, {"is_auto_create_stats_on", kBit},
          {"is_auto_create_stats_incremental_on", kBit}, {"is_auto_update_stats_on", kBit},
          {"is_auto_update_stats_async_on", kBit}, {"is_ansi_null_default_on", kBit}, {"is_ansi_nulls_on", kBit},
          {"is_ansi_padding_on", kBit}, {"is_ansi_warnings_on", kBit}, {"is_arithabort_on", kBit},
          {"is_concat_null_yields_null_on", kBit}, {"is_numeric_roundabort_on", kBit},
          {"is_quoted_identifier_on", kBit}, {"is_recursive_triggers_on", kBit},
          {"is_cursor_close_on_commit_on", kBit}, {"is_local_cursor_default", kBit}, {"is_fulltext_enabled", kBit},
          {"is_trustworthy_on", kBit}, {"is_db_chaining_on", kBit}, {"is_parameterization_forced", kBit},
          {"is_master_key_encrypted_by_server", kBit}, {"is_query_store_on", kBit}},
         sysDatabases},
    };
    return views;
}

} // namespace tsql::sysview
