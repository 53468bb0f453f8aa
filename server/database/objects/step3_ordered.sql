-- The functions to fill in one scheduled liturgy: those with the fewest people able to serve
-- them first, then those with the fewest places in this liturgy.
CREATE FUNCTION step3_ordered(liturgyID varchar)
RETURNS TABLE (F_MinistryFunctionID varchar, PK_ScheduledMemberID varchar, AllowDuplicate smallint,
               MemberLocked smallint, F_MinistryMemberID varchar, F_MinistryMemberTypeID varchar,
               FlagMinister smallint, MinistryFunctionName citext, Ant integer, AntMinisters integer)
LANGUAGE sql STABLE AS $$
    SELECT s.F_MinistryFunctionID, s.PK_ScheduledMemberID, f.AllowDuplicate, s.MemberLocked,
           s.F_MinistryMemberID, s.F_MinistryMemberTypeID, s.FlagMinister, f.MinistryFunctionName,
           (SELECT COUNT(*) FROM tblScheduledMinistryFunctions mf
            WHERE mf.F_ScheduledLiturgyID = liturgyID AND mf.F_MinistryFunctionID = s.F_MinistryFunctionID)::integer,
           (SELECT COUNT(*) FROM tblLnkServingPrefrence lsp
            WHERE lsp.F_MinistryFunctionID = s.F_MinistryFunctionID)::integer
    FROM tblScheduledMinistryFunctions s
    INNER JOIN tblMinistryFunctions f ON s.F_MinistryFunctionID = f.PK_MinistryFunctionID
    WHERE s.F_ScheduledLiturgyID = liturgyID
    ORDER BY 10, 9, s.F_MinistryFunctionID, s.PK_ScheduledMemberID
$$
