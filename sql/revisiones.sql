-- The portfolio check's history: one row per run (REVISIONES), written by
-- `revision-cartera --registrar` and by the window's "Revision de cartera",
-- and one row per loan the run flagged (REVISIONES_PRESTAMOS). A run and
-- its loans are written in one transaction, at the end of the run.
-- The analysts' role (analista.sql, run first) may add runs and read them;
-- no one but the owner may change or delete one. The server, not the
-- client, stamps each run with its number, time and user.
--
-- Safe to run again: what exists is left as it is, history included.
-- Run it as the database's owner (SYSDBA), e.g.
--   isql-fb -user SYSDBA -password ... servidor:/datos/coop.fdb -i revisiones.sql
-- The demo database carries it too. The blocks need a terminator of their
-- own (SET TERM); each statement ends with its terminator at the end of a
-- line.

SET TERM ^ ;

-- Tables are created only where missing: Firebird 3 has no CREATE TABLE
-- IF NOT EXISTS, and RECREATE would drop the history.
EXECUTE BLOCK AS
BEGIN
  IF (NOT EXISTS (SELECT 1 FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME = 'REVISIONES_ID')) THEN
    EXECUTE STATEMENT 'CREATE SEQUENCE REVISIONES_ID';
  IF (NOT EXISTS (SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'REVISIONES')) THEN
    EXECUTE STATEMENT
      'CREATE TABLE REVISIONES (
          ID                   INTEGER NOT NULL,
          FECHA                DATE NOT NULL,
          USUARIO              VARCHAR(31) NOT NULL,
          ESTACION             VARCHAR(255),
          PRESTAMOS_REVISADOS  INTEGER NOT NULL,
          CON_DIFERENCIAS      INTEGER NOT NULL,
          REINDEXAR            INTEGER NOT NULL,
          CORREGIR_TABLA       INTEGER NOT NULL,
          SUMA_DIFERENCIAS     DOUBLE PRECISION NOT NULL,
          DURACION_MS          INTEGER NOT NULL,
          TERMINADA            SMALLINT NOT NULL,
          CONSTRAINT PK_REVISIONES PRIMARY KEY (ID),
          CONSTRAINT CK_REVISIONES_TERMINADA CHECK (TERMINADA IN (0, 1)))';
END^

-- The loans table names the runs table: it goes in once that one is committed.
COMMIT^

EXECUTE BLOCK AS
BEGIN
  IF (NOT EXISTS (SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'REVISIONES_PRESTAMOS')) THEN
    EXECUTE STATEMENT
      'CREATE TABLE REVISIONES_PRESTAMOS (
          REVISION    INTEGER NOT NULL,
          SOCIO       VARCHAR(10) NOT NULL,
          PRESTAMO    INTEGER NOT NULL,
          REPARACION  VARCHAR(30) NOT NULL,
          DIFERENCIA  DOUBLE PRECISION NOT NULL,
          CUOTAS      INTEGER NOT NULL,
          CONSTRAINT FK_REVISIONES_PRESTAMOS FOREIGN KEY (REVISION) REFERENCES REVISIONES (ID))';
END^

COMMIT^

-- Number, time and user come from the server whatever the client sends:
-- a run's row says who ran it and when, as the server knows it. The
-- workstation is the client's host as the server sees it, or, on an
-- embedded connection (which has no network peer), the name the program
-- gives.
CREATE OR ALTER TRIGGER REVISIONES_BI FOR REVISIONES ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  NEW.ID = NEXT VALUE FOR REVISIONES_ID;
  NEW.FECHA = CURRENT_TIMESTAMP;
  NEW.USUARIO = CURRENT_USER;
  NEW.ESTACION = COALESCE(RDB$GET_CONTEXT('SYSTEM', 'CLIENT_HOST'), RDB$GET_CONTEXT('SYSTEM', 'CLIENT_ADDRESS'), NEW.ESTACION);
END^

SET TERM ; ^

COMMIT;

-- The role adds runs and reads them; the trigger alone draws the numbers.
GRANT USAGE ON SEQUENCE REVISIONES_ID TO TRIGGER REVISIONES_BI;
GRANT SELECT, INSERT ON REVISIONES TO ROLE ANALISTA_SOCIOS;
GRANT SELECT, INSERT ON REVISIONES_PRESTAMOS TO ROLE ANALISTA_SOCIOS;

COMMIT;

-- Where repairs need approval (aprobacion.sql, run before this or after
-- it), the supervisors check the portfolio too.
SET TERM ^ ;

EXECUTE BLOCK AS
BEGIN
    IF (EXISTS(SELECT 1 FROM RDB$ROLES WHERE RDB$ROLE_NAME = 'SUPERVISOR_SOCIOS')) THEN
    BEGIN
        EXECUTE STATEMENT 'GRANT SELECT, INSERT ON REVISIONES TO ROLE SUPERVISOR_SOCIOS';
        EXECUTE STATEMENT 'GRANT SELECT, INSERT ON REVISIONES_PRESTAMOS TO ROLE SUPERVISOR_SOCIOS';
    END
END^

SET TERM ; ^

COMMIT;
