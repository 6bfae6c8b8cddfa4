-- The analysts' role: exactly the rights the analysis program needs, so a
-- site can connect as a user of its own instead of the database owner.
-- Run it once on the cooperative's database as its owner (SYSDBA), e.g.
--   isql-fb -user SYSDBA -password ... servidor:/datos/coop.fdb -i analista.sql
-- The demo database carries it too.
--
-- Then create each analyst's user (on the server, its security database)
-- and give it the role (in this database):
--   CREATE USER MARIA PASSWORD 'una-clave-larga' USING PLUGIN Srp;
--   GRANT ANALISTA_SOCIOS TO USER MARIA;
--   COMMIT;
-- and let the program log in as that user with the role, through the
-- environment (ISC_USER=MARIA ISC_PASSWORD=... ISC_ROLE=ANALISTA_SOCIOS) or
-- through a conexion.ini that only its owner can read (chmod 600):
--   user_name=MARIA
--   password=una-clave-larga
--   sql_role_name=ANALISTA_SOCIOS
-- Each statement ends with its terminator (";", or "^" between the SET TERM
-- lines) at the end of its line. Running it again changes nothing: the role
-- is made only when missing, and a grant given twice is given once.

SET TERM ^ ;
EXECUTE BLOCK AS
BEGIN
    IF (NOT EXISTS(SELECT 1 FROM RDB$ROLES WHERE RDB$ROLE_NAME = 'ANALISTA_SOCIOS')) THEN
        EXECUTE STATEMENT 'CREATE ROLE ANALISTA_SOCIOS';
END^
COMMIT^
SET TERM ; ^

-- Everything the program reads: members, employers, loans, schedules, the
-- documents applied to loans and the receivable ledger.
GRANT SELECT ON EMPRESAS TO ROLE ANALISTA_SOCIOS;
GRANT SELECT ON CLIENTES TO ROLE ANALISTA_SOCIOS;
GRANT SELECT ON SOLICITUDPRES TO ROLE ANALISTA_SOCIOS;
GRANT SELECT ON RENGLONES TO ROLE ANALISTA_SOCIOS;
GRANT SELECT ON INGRESOSDET TO ROLE ANALISTA_SOCIOS;
GRANT SELECT ON CCNOTASDET TO ROLE ANALISTA_SOCIOS;
GRANT SELECT ON NOMINA TO ROLE ANALISTA_SOCIOS;
GRANT SELECT ON COMPENSACIONDET TO ROLE ANALISTA_SOCIOS;
GRANT SELECT ON CXCTRX TO ROLE ANALISTA_SOCIOS;

-- "Reindexar" deletes a loan's ledger rows and writes them again;
-- "Corregir Tabla" writes only the schedule's paid amounts. Where repairs
-- need a supervisor's approval (aprobacion.sql took these rights to the
-- supervisors), running this again leaves them there.
-- After a commit: the grants above must be settled before a block grants
-- on the same tables.
COMMIT;
SET TERM ^ ;
EXECUTE BLOCK AS
BEGIN
    IF (NOT EXISTS(SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'SOLICITUDES')
        OR EXISTS(SELECT 1 FROM RDB$USER_PRIVILEGES WHERE RDB$USER = 'ANALISTA_SOCIOS'
                  AND RDB$RELATION_NAME = 'CXCTRX' AND RDB$PRIVILEGE = 'I')) THEN
    BEGIN
        EXECUTE STATEMENT 'GRANT INSERT, DELETE ON CXCTRX TO ROLE ANALISTA_SOCIOS';
        EXECUTE STATEMENT 'GRANT UPDATE (REN_PAGADOCAPITAL, REN_PAGADOINTERES, REN_TOTALPAGADO) ON RENGLONES TO ROLE ANALISTA_SOCIOS';
    END
END^
COMMIT^
SET TERM ; ^
