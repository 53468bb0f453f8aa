-- Directory rows, third form: ministry function members are named last name first, suffix after it.
CREATE VIEW groupdir AS
SELECT tblContacts.PK_ContactID, (LastName || CASE WHEN (Suffix IS NULL) OR (Suffix = '') THEN ' ' ELSE ', ' || Suffix || ', ' END || COALESCE(LTRIM(Title || ' '), '') || FirstName) AS Name, (CAST(Street AS varchar(255)) || chr(10) || City || ', ' || State || ' ' || Zip) AS TotAdr,
       tblContacts.phone1, tblContacts.phone2, tblContacts.EMail1, tblContacts.EMail2, tblContacts.EMail3,
       tblMinistryFunctions.MinistryFunctionName AS MemberOf, tblLnkServingPrefrence.F_MinistryFunctionID AS theID, tblContacts.Lastname
FROM tblContacts
INNER JOIN tblLnkServingPrefrence ON tblContacts.PK_ContactID = tblLnkServingPrefrence.F_ContactID
INNER JOIN tblMinistryFunctions ON tblLnkServingPrefrence.F_MinistryFunctionID = tblMinistryFunctions.PK_MinistryFunctionID
UNION
SELECT tblContacts.PK_ContactID, (CASE WHEN (Title = '') THEN '' WHEN (Title IS NULL) THEN '' ELSE Title || ' ' END || LastName || ', ' || FirstName || ' ' || COALESCE(Suffix, '')), (CAST(Street AS varchar(255)) || chr(10) || City || ', ' || State || ' ' || Zip),
       tblContacts.phone1, tblContacts.phone2, tblContacts.EMail1, tblContacts.EMail2, tblContacts.EMail3,
       tblGroups.GroupName, tblGroups.PK_GroupID, tblContacts.Lastname
FROM tblGroups
INNER JOIN (tblContacts INNER JOIN tblLnkGroupmembers ON tblContacts.PK_ContactID = tblLnkGroupmembers.F_MemberID)
        ON tblGroups.PK_GroupID = tblLnkGroupmembers.F_GroupID
UNION
SELECT tblContacts.PK_ContactID, (CASE WHEN (Title = '') THEN '' WHEN (Title IS NULL) THEN '' ELSE Title || ' ' END || LastName || ', ' || FirstName || ' ' || COALESCE(Suffix, '')), (CAST(Street AS varchar(255)) || chr(10) || City || ', ' || State || ' ' || Zip),
       tblContacts.phone1, tblContacts.phone2, tblContacts.EMail1, tblContacts.EMail2, tblContacts.EMail3,
       tblLiturgyTemplates.LiturgyTemplateName, tblLiturgyTemplates.PK_LiturgyTemplateID, tblContacts.Lastname
FROM (tblServingPrefrenceLiturgy
      INNER JOIN (tblLnkServingPrefrence INNER JOIN tblContacts ON tblLnkServingPrefrence.F_ContactID = tblContacts.PK_ContactID)
              ON tblServingPrefrenceLiturgy.F_ServingPrefrenceID = tblLnkServingPrefrence.PK_ServingPrefrenceID)
INNER JOIN tblLiturgyTemplates ON tblServingPrefrenceLiturgy.F_LiturgyTemplateID = tblLiturgyTemplates.PK_LiturgyTemplateID
UNION
SELECT tblContacts.PK_ContactID, (CASE WHEN (Title = '') THEN '' WHEN (Title IS NULL) THEN '' ELSE Title || ' ' END || LastName || ', ' || FirstName || ' ' || COALESCE(Suffix, '')), (CAST(Street AS varchar(255)) || chr(10) || City || ', ' || State || ' ' || Zip),
       tblContacts.phone1, tblContacts.phone2, tblContacts.EMail1, tblContacts.EMail2, tblContacts.EMail3,
       CAST('Can fill in' AS citext), CAST(NULL AS varchar), tblContacts.Lastname
FROM tblLnkServingPrefrence INNER JOIN tblContacts ON tblLnkServingPrefrence.F_ContactID = tblContacts.PK_ContactID
WHERE tblLnkServingPrefrence.ContactCanFillIn = 1
