-- Turns off what aprobacion.sql turned on: the analysts write the books
-- again and repair without a supervisor's approval, as before (the program
-- asks for approval while the analysts' role may not write CXCTRX). The
-- requests and their resolutions stay, to be read, but nobody files or
-- resolves one any more; requests still open stay unresolved.
-- Run it as the database's owner:
--   isql-fb -user SYSDBA -password ... servidor:/datos/coop.fdb -i sin_aprobacion.sql
-- Running it again changes nothing; aprobacion.sql turns approval on again.

GRANT INSERT, DELETE ON CXCTRX TO ROLE ANALISTA_SOCIOS;
GRANT UPDATE (REN_PAGADOCAPITAL, REN_PAGADOINTERES, REN_TOTALPAGADO) ON RENGLONES TO ROLE ANALISTA_SOCIOS;
GRANT INSERT ON REPARACIONES TO ROLE ANALISTA_SOCIOS;
GRANT INSERT ON REPARACIONES_IMAGENES TO ROLE ANALISTA_SOCIOS;

-- The supervisors keep theirs, and repair directly like the analysts: the
-- triggers that let them write the books only when approving stop.
-- Nobody files or resolves a request any more.
COMMIT;
SET TERM ^ ;
EXECUTE BLOCK AS
BEGIN
    IF (EXISTS(SELECT 1 FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'CXCTRX_APROBADA')) THEN
        EXECUTE STATEMENT 'ALTER TRIGGER CXCTRX_APROBADA INACTIVE';
    IF (EXISTS(SELECT 1 FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'RENGLONES_APROBADA')) THEN
        EXECUTE STATEMENT 'ALTER TRIGGER RENGLONES_APROBADA INACTIVE';
END^
COMMIT^
SET TERM ; ^
REVOKE INSERT ON SOLICITUDES FROM ROLE ANALISTA_SOCIOS;
REVOKE INSERT ON SOLICITUDES_VISTAS FROM ROLE ANALISTA_SOCIOS;
REVOKE INSERT ON SOLICITUDES FROM ROLE SUPERVISOR_SOCIOS;
REVOKE INSERT ON SOLICITUDES_VISTAS FROM ROLE SUPERVISOR_SOCIOS;
REVOKE INSERT ON RESOLUCIONES FROM ROLE SUPERVISOR_SOCIOS;
