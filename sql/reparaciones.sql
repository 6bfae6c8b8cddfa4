-- The record of every repair and undo, kept in the cooperative's database:
-- the program writes a repair's row in the repair's own transaction, so a
-- repair and its record are committed together or not at all, and every
-- analyst sees (and may undo) what any analyst did. Without this table the
-- program keeps its records in a file on each analyst's computer.
-- Run it as the database's owner after analista.sql, e.g.
--   isql-fb -user SYSDBA -password ... servidor:/datos/coop.fdb -i reparaciones.sql
-- Running it again changes nothing. Then copy each computer's older records
-- in: revision-cartera --importar-diario servidor:/datos/coop.fdb
-- The demo database carries it.
-- Each statement ends with its terminator (";", or "^" between the SET TERM
-- lines) at the end of its line.

SET TERM ^ ;

-- One row per repair or undo that was committed. FECHA, USUARIO, ROL and
-- EQUIPO are set by the server (trigger below), whatever a client sends.
-- DESHACE names the record an undo reverts: unique, so the database itself
-- refuses a second undo of one record.
EXECUTE BLOCK AS
BEGIN
    IF (NOT EXISTS(SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'REPARACIONES')) THEN
        EXECUTE STATEMENT 'CREATE TABLE REPARACIONES (
            ID                          VARCHAR(40) NOT NULL,
            FECHA                       TIMESTAMP NOT NULL,
            USUARIO                     VARCHAR(63) NOT NULL,
            ROL                         VARCHAR(63),
            EQUIPO                      VARCHAR(255),
            SOCIO                       VARCHAR(10) NOT NULL,
            PRESTAMO                    INTEGER NOT NULL,
            ACCION                      VARCHAR(40) NOT NULL,
            DESHACE                     VARCHAR(40),
            BALANCE_DOCUMENTOS_ANTES    DOUBLE PRECISION NOT NULL,
            BALANCE_CXC_ANTES           DOUBLE PRECISION NOT NULL,
            BALANCE_DOCUMENTOS_DESPUES  DOUBLE PRECISION NOT NULL,
            BALANCE_CXC_DESPUES         DOUBLE PRECISION NOT NULL,
            FILAS_BORRADAS              INTEGER NOT NULL,
            FILAS_INSERTADAS            INTEGER NOT NULL,
            FILAS_ACTUALIZADAS          INTEGER NOT NULL,
            DIARIO_FECHA                TIMESTAMP,
            DIARIO_USUARIO              VARCHAR(63),
            CONSTRAINT PK_REPARACIONES PRIMARY KEY (ID),
            CONSTRAINT UQ_REPARACIONES_DESHACE UNIQUE (DESHACE),
            CONSTRAINT FK_REPARACIONES_DESHACE FOREIGN KEY (DESHACE) REFERENCES REPARACIONES (ID)
        )';
END^
COMMIT^

-- F3 lists one loan's records.
EXECUTE BLOCK AS
BEGIN
    IF (NOT EXISTS(SELECT 1 FROM RDB$INDICES WHERE RDB$INDEX_NAME = 'IX_REPARACIONES_PRESTAMO')) THEN
        EXECUTE STATEMENT 'CREATE INDEX IX_REPARACIONES_PRESTAMO ON REPARACIONES (PRESTAMO)';
END^
COMMIT^

-- What undoing a record takes (the loan's rows before and after, as text),
-- in parts: read only when a record is undone, never to list it.
EXECUTE BLOCK AS
BEGIN
    IF (NOT EXISTS(SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'REPARACIONES_IMAGENES')) THEN
        EXECUTE STATEMENT 'CREATE TABLE REPARACIONES_IMAGENES (
            REPARACION  VARCHAR(40) NOT NULL,
            PARTE       INTEGER NOT NULL,
            TEXTO       VARCHAR(16000) CHARACTER SET OCTETS NOT NULL,
            CONSTRAINT PK_REPARACIONES_IMAGENES PRIMARY KEY (REPARACION, PARTE),
            CONSTRAINT FK_REPARACIONES_IMAGENES FOREIGN KEY (REPARACION) REFERENCES REPARACIONES (ID)
        )';
END^
COMMIT^

-- Who, when and from where, as the server knows it. EQUIPO: the client's
-- address as the server sees it, then the host name the program gives.
CREATE OR ALTER TRIGGER REPARACIONES_QUIEN FOR REPARACIONES ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
    NEW.FECHA = CURRENT_TIMESTAMP;
    NEW.USUARIO = CURRENT_USER;
    NEW.ROL = CURRENT_ROLE;
    NEW.EQUIPO = TRIM(COALESCE(RDB$GET_CONTEXT('SYSTEM', 'CLIENT_ADDRESS') || ' ', '') || COALESCE(NEW.EQUIPO, ''));
END^
COMMIT^

SET TERM ; ^

-- The analysts read and add records, and nothing else: a record is never
-- changed or removed by the program's users. Where repairs need a
-- supervisor's approval (aprobacion.sql), the supervisors add them and
-- running this again leaves it so.
GRANT SELECT ON REPARACIONES TO ROLE ANALISTA_SOCIOS;
GRANT SELECT ON REPARACIONES_IMAGENES TO ROLE ANALISTA_SOCIOS;
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
        EXECUTE STATEMENT 'GRANT INSERT ON REPARACIONES TO ROLE ANALISTA_SOCIOS';
        EXECUTE STATEMENT 'GRANT INSERT ON REPARACIONES_IMAGENES TO ROLE ANALISTA_SOCIOS';
    END
END^
COMMIT^
SET TERM ; ^
