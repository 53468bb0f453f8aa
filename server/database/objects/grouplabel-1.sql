-- Address label rows for the group reports, in capitals, with a name to sort by.
CREATE VIEW grouplabel AS
SELECT tblContacts.PK_ContactID, (CASE WHEN (UPPER(Title) = '') THEN '' WHEN (UPPER(Title) IS NULL) THEN '' ELSE UPPER(Title) || ' ' END || UPPER(LastName) || ', ' || UPPER(FirstName) || ' ' || COALESCE(UPPER(Suffix), '')) AS Name, (UPPER(CAST(Street AS varchar(255))) || chr(10) || UPPER(City) || ', ' || UPPER(State) || ' ' || Zip) AS TotAdr, tblLnkServingPrefrence.F_MinistryFunctionID AS theID, (UPPER(LastName) || ',' || UPPER(FirstName)) AS SortName
FROM tblContacts
INNER JOIN tblLnkServingPrefrence ON tblContacts.PK_ContactID = tblLnkServingPrefrence.F_ContactID
INNER JOIN tblMinistryFunctions ON tblLnkServingPrefrence.F_MinistryFunctionID = tblMinistryFunctions.PK_MinistryFunctionID
UNION
SELECT tblContacts.PK_ContactID, (CASE WHEN (UPPER(Title) = '') THEN '' WHEN (UPPER(Title) IS NULL) THEN '' ELSE UPPER(Title) || ' ' END || UPPER(LastName) || ', ' || UPPER(FirstName) || ' ' || COALESCE(UPPER(Suffix), '')), (UPPER(CAST(Street AS varchar(255))) || chr(10) || UPPER(City) || ', ' || UPPER(State) || ' ' || Zip), tblGroups.PK_GroupID, (UPPER(LastName) || ',' || UPPER(FirstName))
FROM tblGroups
INNER JOIN (tblContacts INNER JOIN tblLnkGroupmembers ON tblContacts.PK_ContactID = tblLnkGroupmembers.F_MemberID)
        ON tblGroups.PK_GroupID = tblLnkGroupmembers.F_GroupID
UNION
SELECT tblContacts.PK_ContactID, (CASE WHEN (UPPER(Title) = '') THEN '' WHEN (UPPER(Title) IS NULL) THEN '' ELSE UPPER(Title) || ' ' END || UPPER(LastName) || ', ' || UPPER(FirstName) || ' ' || COALESCE(UPPER(Suffix), '')), (UPPER(CAST(Street AS varchar(255))) || chr(10) || UPPER(City) || ', ' || UPPER(State) || ' ' || Zip), CAST(NULL AS varchar), (UPPER(LastName) || ',' || UPPER(FirstName))
FROM tblLnkServingPrefrence INNER JOIN tblContacts ON tblLnkServingPrefrence.F_ContactID = tblContacts.PK_ContactID
WHERE tblLnkServingPrefrence.ContactCanFillIn = 1
UNION
SELECT tblContacts.PK_ContactID, (CASE WHEN (UPPER(Title) = '') THEN '' WHEN (UPPER(Title) IS NULL) THEN '' ELSE UPPER(Title) || ' ' END || UPPER(LastName) || ', ' || UPPER(FirstName) || ' ' || COALESCE(UPPER(Suffix), '')), (UPPER(CAST(Street AS varchar(255))) || chr(10) || UPPER(City) || ', ' || UPPER(State) || ' ' || Zip), tblLiturgyTemplates.PK_LiturgyTemplateID, (UPPER(LastName) || ',' || UPPER(FirstName))
FROM (tblServingPrefrenceLiturgy
      INNER JOIN (tblLnkServingPrefrence INNER JOIN tblContacts ON tblLnkServingPrefrence.F_ContactID = tblContacts.PK_ContactID)
              ON tblServingPrefrenceLiturgy.F_ServingPrefrenceID = tblLnkServingPrefrence.PK_ServingPrefrenceID)
INNER JOIN tblLiturgyTemplates ON tblServingPrefrenceLiturgy.F_LiturgyTemplateID = tblLiturgyTemplates.PK_LiturgyTemplateID
