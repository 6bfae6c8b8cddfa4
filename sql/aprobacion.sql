-- Four eyes on every repair: with this script run, an analyst's repair
-- ("Reindexar", "Corregir Tabla", "Deshacer", a bulk repair) writes nothing
-- to the books but a request, and a supervisor other than the one who asked
-- approves it (the repair is made then, with its record) or rejects it with
-- a reason. The database enforces it: only the supervisors' role may write
-- the books, and a trigger refuses a resolution by the request's own user.
-- Run it as the database's owner after analista.sql and reparaciones.sql:
--   isql-fb -user SYSDBA -password ... servidor:/datos/coop.fdb -i aprobacion.sql
-- Running it again changes nothing. sin_aprobacion.sql turns it off again
-- (the requests and their resolutions are kept).
--
-- Then give each supervisor's user the role (and let the program log in
-- with it, as analista.sql says for the analysts):
--   GRANT SUPERVISOR_SOCIOS TO USER ROSA;
--   COMMIT;
-- Each statement ends with its terminator (";", or "^" between the SET TERM
-- lines) at the end of its line.

SET TERM ^ ;

EXECUTE BLOCK AS
BEGIN
    IF (NOT EXISTS(SELECT 1 FROM RDB$ROLES WHERE RDB$ROLE_NAME = 'SUPERVISOR_SOCIOS')) THEN
        EXECUTE STATEMENT 'CREATE ROLE SUPERVISOR_SOCIOS';
END^
COMMIT^

-- Request numbers, as people name them: "--aprobar 12".
EXECUTE BLOCK AS
BEGIN
    IF (NOT EXISTS(SELECT 1 FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME = 'SOLICITUDES_ID')) THEN
        EXECUTE STATEMENT 'CREATE SEQUENCE SOLICITUDES_ID';
END^
COMMIT^

-- One row per request. FECHA, USUARIO, ROL, EQUIPO and TRANSACCION are set
-- by the server (trigger below), whatever a client sends. ACCION is the
-- repair asked for ("Reindexar", "Corregir Tabla", both joined by " + ",
-- "Deshacer" with DESHACE naming the record to undo); HUELLA the
-- fingerprint of the loan's rows when it was asked for, which an approval
-- finds again or refuses; the balances and row counts what the repair would
-- leave. ABIERTA holds the loan, member and repair while nobody has
-- resolved it: unique, so the database refuses a second open request for
-- the same loan and repair.
EXECUTE BLOCK AS
BEGIN
    IF (NOT EXISTS(SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'SOLICITUDES')) THEN
        EXECUTE STATEMENT 'CREATE TABLE SOLICITUDES (
            ID                          INTEGER NOT NULL,
            FECHA                       TIMESTAMP NOT NULL,
            USUARIO                     VARCHAR(63) NOT NULL,
            ROL                         VARCHAR(63),
            EQUIPO                      VARCHAR(255),
            SOCIO                       VARCHAR(10) NOT NULL,
            PRESTAMO                    INTEGER NOT NULL,
            ACCION                      VARCHAR(40) NOT NULL,
            DESHACE                     VARCHAR(40),
            HUELLA                      VARCHAR(64) NOT NULL,
            BALANCE_DOCUMENTOS_ANTES    DOUBLE PRECISION NOT NULL,
            BALANCE_CXC_ANTES           DOUBLE PRECISION NOT NULL,
            BALANCE_DOCUMENTOS_DESPUES  DOUBLE PRECISION NOT NULL,
            BALANCE_CXC_DESPUES         DOUBLE PRECISION NOT NULL,
            FILAS_BORRADAS              INTEGER NOT NULL,
            FILAS_INSERTADAS            INTEGER NOT NULL,
            FILAS_ACTUALIZADAS          INTEGER NOT NULL,
            ABIERTA                     VARCHAR(80),
            TRANSACCION                 DOUBLE PRECISION,
            CONSTRAINT PK_SOLICITUDES PRIMARY KEY (ID),
            CONSTRAINT UQ_SOLICITUDES_ABIERTA UNIQUE (ABIERTA)
        )';
END^
COMMIT^

-- What the repair would change, for the supervisor to see (the rows that
-- would go and come, each instalment's paid amounts), in parts; written
-- only in the request's own transaction (trigger below).
EXECUTE BLOCK AS
BEGIN
    IF (NOT EXISTS(SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'SOLICITUDES_VISTAS')) THEN
        EXECUTE STATEMENT 'CREATE TABLE SOLICITUDES_VISTAS (
            SOLICITUD   INTEGER NOT NULL,
            PARTE       INTEGER NOT NULL,
            TEXTO       VARCHAR(16000) CHARACTER SET OCTETS NOT NULL,
            CONSTRAINT PK_SOLICITUDES_VISTAS PRIMARY KEY (SOLICITUD, PARTE),
            CONSTRAINT FK_SOLICITUDES_VISTAS FOREIGN KEY (SOLICITUD) REFERENCES SOLICITUDES (ID)
        )';
END^
COMMIT^

-- At most one resolution per request (its key): "Aprobada", with the
-- record of the repair made (REPARACION, written in the same transaction),
-- or "Rechazada" with its reason.
EXECUTE BLOCK AS
BEGIN
    IF (NOT EXISTS(SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'RESOLUCIONES')) THEN
        EXECUTE STATEMENT 'CREATE TABLE RESOLUCIONES (
            SOLICITUD   INTEGER NOT NULL,
            FECHA       TIMESTAMP NOT NULL,
            USUARIO     VARCHAR(63) NOT NULL,
            ROL         VARCHAR(63),
            EQUIPO      VARCHAR(255),
            DECISION    VARCHAR(10) NOT NULL,
            MOTIVO      VARCHAR(500),
            REPARACION  VARCHAR(40),
            CONSTRAINT PK_RESOLUCIONES PRIMARY KEY (SOLICITUD),
            CONSTRAINT FK_RESOLUCIONES FOREIGN KEY (SOLICITUD) REFERENCES SOLICITUDES (ID),
            CONSTRAINT CK_RESOLUCIONES_DECISION CHECK (DECISION IN (''Aprobada'', ''Rechazada'')),
            CONSTRAINT CK_RESOLUCIONES_MOTIVO CHECK (DECISION = ''Aprobada'' OR TRIM(COALESCE(MOTIVO, '''')) <> '''')
        )';
END^
COMMIT^

EXECUTE BLOCK AS
BEGIN
    IF (NOT EXISTS(SELECT 1 FROM RDB$INDICES WHERE RDB$INDEX_NAME = 'IX_SOLICITUDES_PRESTAMO')) THEN
        EXECUTE STATEMENT 'CREATE INDEX IX_SOLICITUDES_PRESTAMO ON SOLICITUDES (PRESTAMO)';
END^
COMMIT^

EXECUTE BLOCK AS
BEGIN
    IF (NOT EXISTS(SELECT 1 FROM RDB$EXCEPTIONS WHERE RDB$EXCEPTION_NAME = 'SOLICITUD_PROPIA')) THEN
        EXECUTE STATEMENT 'CREATE EXCEPTION SOLICITUD_PROPIA ''Nadie puede aprobar ni rechazar su propia solicitud''';
    IF (NOT EXISTS(SELECT 1 FROM RDB$EXCEPTIONS WHERE RDB$EXCEPTION_NAME = 'SOLICITUD_VISTA_AJENA')) THEN
        EXECUTE STATEMENT 'CREATE EXCEPTION SOLICITUD_VISTA_AJENA ''La vista previa de una solicitud se escribe solo con la solicitud''';
END^
COMMIT^

-- Who asked, when and from where, as the server knows it; the request
-- opens, and keeps the transaction that filed it for its preview.
CREATE OR ALTER TRIGGER SOLICITUDES_QUIEN FOR SOLICITUDES ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
    IF (NEW.ID IS NULL) THEN NEW.ID = NEXT VALUE FOR SOLICITUDES_ID;
    NEW.FECHA = CURRENT_TIMESTAMP;
    NEW.USUARIO = CURRENT_USER;
    NEW.ROL = CURRENT_ROLE;
    NEW.EQUIPO = TRIM(COALESCE(RDB$GET_CONTEXT('SYSTEM', 'CLIENT_ADDRESS') || ' ', '') || COALESCE(NEW.EQUIPO, ''));
    NEW.ABIERTA = NEW.SOCIO || '/' || NEW.PRESTAMO || '/' || NEW.ACCION;
    NEW.TRANSACCION = CURRENT_TRANSACTION;
END^

CREATE OR ALTER TRIGGER SOLICITUDES_VISTAS_PROPIA FOR SOLICITUDES_VISTAS ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
    IF (NOT EXISTS(SELECT 1 FROM SOLICITUDES WHERE ID = NEW.SOLICITUD AND TRANSACCION = CURRENT_TRANSACTION)) THEN
        EXCEPTION SOLICITUD_VISTA_AJENA;
END^

-- "Not your own request": the request's user as the server stamped it,
-- against the user resolving now. No client can get around it.
CREATE OR ALTER TRIGGER RESOLUCIONES_QUIEN FOR RESOLUCIONES ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
    IF (EXISTS(SELECT 1 FROM SOLICITUDES WHERE ID = NEW.SOLICITUD AND USUARIO = CURRENT_USER)) THEN
        EXCEPTION SOLICITUD_PROPIA;
    NEW.FECHA = CURRENT_TIMESTAMP;
    NEW.USUARIO = CURRENT_USER;
    NEW.ROL = CURRENT_ROLE;
    NEW.EQUIPO = TRIM(COALESCE(RDB$GET_CONTEXT('SYSTEM', 'CLIENT_ADDRESS') || ' ', '') || COALESCE(NEW.EQUIPO, ''));
END^

-- A resolved request is no longer open: the same repair may be asked again.
CREATE OR ALTER TRIGGER RESOLUCIONES_CIERRA FOR RESOLUCIONES ACTIVE AFTER INSERT POSITION 0 AS
BEGIN
    UPDATE SOLICITUDES SET ABIERTA = NULL WHERE ID = NEW.SOLICITUD;
END^
COMMIT^

SET TERM ; ^

-- What the triggers do whatever their caller may: nobody else changes a
-- request.
GRANT USAGE ON SEQUENCE SOLICITUDES_ID TO TRIGGER SOLICITUDES_QUIEN;
GRANT SELECT ON SOLICITUDES TO TRIGGER SOLICITUDES_VISTAS_PROPIA;
GRANT USAGE ON EXCEPTION SOLICITUD_VISTA_AJENA TO TRIGGER SOLICITUDES_VISTAS_PROPIA;
GRANT SELECT ON SOLICITUDES TO TRIGGER RESOLUCIONES_QUIEN;
GRANT USAGE ON EXCEPTION SOLICITUD_PROPIA TO TRIGGER RESOLUCIONES_QUIEN;
GRANT SELECT, UPDATE ON SOLICITUDES TO TRIGGER RESOLUCIONES_CIERRA;

-- The supervisors read what the analysts read.
GRANT SELECT ON EMPRESAS TO ROLE SUPERVISOR_SOCIOS;
GRANT SELECT ON CLIENTES TO ROLE SUPERVISOR_SOCIOS;
GRANT SELECT ON SOLICITUDPRES TO ROLE SUPERVISOR_SOCIOS;
GRANT SELECT ON RENGLONES TO ROLE SUPERVISOR_SOCIOS;
GRANT SELECT ON INGRESOSDET TO ROLE SUPERVISOR_SOCIOS;
GRANT SELECT ON CCNOTASDET TO ROLE SUPERVISOR_SOCIOS;
GRANT SELECT ON NOMINA TO ROLE SUPERVISOR_SOCIOS;
GRANT SELECT ON COMPENSACIONDET TO ROLE SUPERVISOR_SOCIOS;
GRANT SELECT ON CXCTRX TO ROLE SUPERVISOR_SOCIOS;
GRANT SELECT ON REPARACIONES TO ROLE SUPERVISOR_SOCIOS;
GRANT SELECT ON REPARACIONES_IMAGENES TO ROLE SUPERVISOR_SOCIOS;

-- Both roles file requests (a supervisor's too needs another's approval)
-- and read them; the supervisors alone resolve them.
GRANT USAGE ON SEQUENCE SOLICITUDES_ID TO ROLE ANALISTA_SOCIOS;
GRANT USAGE ON SEQUENCE SOLICITUDES_ID TO ROLE SUPERVISOR_SOCIOS;
GRANT SELECT, INSERT ON SOLICITUDES TO ROLE ANALISTA_SOCIOS;
GRANT SELECT, INSERT ON SOLICITUDES_VISTAS TO ROLE ANALISTA_SOCIOS;
GRANT SELECT ON RESOLUCIONES TO ROLE ANALISTA_SOCIOS;
GRANT SELECT, INSERT ON SOLICITUDES TO ROLE SUPERVISOR_SOCIOS;
GRANT SELECT, INSERT ON SOLICITUDES_VISTAS TO ROLE SUPERVISOR_SOCIOS;
GRANT SELECT, INSERT ON RESOLUCIONES TO ROLE SUPERVISOR_SOCIOS;

-- The books' write rights, and the records of what is written, move from
-- the analysts to the supervisors: only an approval writes them.
REVOKE INSERT, DELETE ON CXCTRX FROM ROLE ANALISTA_SOCIOS;
REVOKE UPDATE (REN_PAGADOCAPITAL, REN_PAGADOINTERES, REN_TOTALPAGADO) ON RENGLONES FROM ROLE ANALISTA_SOCIOS;
REVOKE INSERT ON REPARACIONES FROM ROLE ANALISTA_SOCIOS;
REVOKE INSERT ON REPARACIONES_IMAGENES FROM ROLE ANALISTA_SOCIOS;
GRANT INSERT, DELETE ON CXCTRX TO ROLE SUPERVISOR_SOCIOS;
GRANT INSERT ON REPARACIONES TO ROLE SUPERVISOR_SOCIOS;
GRANT INSERT ON REPARACIONES_IMAGENES TO ROLE SUPERVISOR_SOCIOS;
-- Firebird 3 loses every role's update right on those columns when one
-- role's is revoked, though the grants still list them; granted again after
-- a revoke of its own, the right works. So the revoke above comes first,
-- and the supervisors' grant is made afresh, every run.
REVOKE UPDATE (REN_PAGADOCAPITAL, REN_PAGADOINTERES, REN_TOTALPAGADO) ON RENGLONES FROM ROLE SUPERVISOR_SOCIOS;
GRANT UPDATE (REN_PAGADOCAPITAL, REN_PAGADOINTERES, REN_TOTALPAGADO) ON RENGLONES TO ROLE SUPERVISOR_SOCIOS;
